// Runs any bytes as a midi2zavra script. The converter library is never found, so the only file
// the run may touch is a stray out.m of the current folder, which read_pt3 and read_fxm remove
// before converting.
#include "compiler/script.h"

#include <cstdint>
#include <cstdio>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0)
        return 0;
    std::string bytes(reinterpret_cast<const char*>(data), size);
    std::FILE* file = fmemopen(bytes.data(), bytes.size(), "rb");
    if (!file)
        return 0;
    std::string output;
    telmira::compiler::Console console(output);
    telmira::compiler::Session session(console);
    session.ayvexLibrary = "/nonexistent/libayvex.so";
    telmira::compiler::runScript(session, file, "fuzz.tcl");
    std::fclose(file);
    return 0;
}
