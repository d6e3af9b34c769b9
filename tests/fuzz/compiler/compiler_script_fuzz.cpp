// Runs any bytes as a midi2zavra script. Commands that read files find none in the private folder
// the entry point works in, and the converter library is never found.
#include "compiler/script.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

char folder[] = "/tmp/telmira-fuzz-script-XXXXXX";

void leavePrivateFolder() {
    rmdir(folder);
}

void enterPrivateFolder() {
    static const bool entered = [] {
        if (mkdtemp(folder) == nullptr || chdir(folder) != 0)
            return false;
        std::atexit(leavePrivateFolder);
        return true;
    }();
    (void)entered;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    enterPrivateFolder();
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
