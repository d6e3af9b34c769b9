// The library's two exports: the file side of the PT3 and FXM conversions.
#include "ayvex/ayvex.h"

#include "ayvex/codetables.h"
#include "ayvex/fxm.h"
#include "ayvex/pt3.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <span>
#include <string>

namespace {

const char* const kOutFile = "out.m";

// Messages go to the host's standard output, each after a BEL.
void say(const std::string& text) {
    std::fputc('\a', stdout);
    std::fputs(text.c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// Removes a (stale or partly written) out.m, but never a folder that happens to have that name.
void removeOutFile() {
    std::error_code ec;
    const auto status = std::filesystem::symlink_status(kOutFile, ec);
    if (std::filesystem::is_regular_file(status) || std::filesystem::is_symlink(status))
        std::filesystem::remove(kOutFile, ec);
}

std::span<const std::uint8_t> moduleBytes(const void* module, std::uint32_t size) {
    if (!module)
        return {};
    return {static_cast<const std::uint8_t*>(module), size};
}

bool writeText(const std::vector<int>& lines) {
    std::FILE* file = std::fopen(kOutFile, "wb");
    if (!file)
        return false;
    bool ok = true;
    for (int value : lines)
        ok = ok && std::fprintf(file, "%d\n", value) > 0;
    ok = std::fclose(file) == 0 && ok;
    return ok;
}

int pt3Process(std::span<const std::uint8_t> module) {
    ayvex::CodeTables tables;
    std::string error;
    if (!ayvex::loadCodeTables(".", tables, error)) {
        removeOutFile();
        say("  + ERR: PT3 " + error);
        return ayvex::kPt3TablesUnusable;
    }
    const ayvex::Pt3Conversion result = ayvex::convertPt3(module, tables);
    for (const std::string& warning : result.warnings)
        say(warning);
    if (result.status != ayvex::kPt3Written) {
        removeOutFile();
        say("  + ERR: PT3 module refused: " + result.error);
        return result.status;
    }
    if (!writeText(result.lines)) {
        removeOutFile();
        say("  + ERR: PT3 out.m cannot be written");
        return ayvex::kPt3CannotWrite;
    }
    return ayvex::kPt3Written;
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

int writeFxm(std::FILE* file, const ayvex::FxmConversion& result) {
    const std::uint8_t* bytes = result.file.data();
    const std::size_t size = result.file.size();
    const std::size_t tableAt = size - 2 * result.returnPoints.size();
    if (std::fwrite(bytes, 1, 8, file) != 8)
        return ayvex::kFxmHeaderWrite;
    if (std::fwrite(bytes + 8, 1, tableAt - 8, file) != tableAt - 8)
        return ayvex::kFxmDataWrite;
    if (std::fwrite(bytes + tableAt, 1, size - tableAt, file) != size - tableAt ||
        std::fflush(file) != 0)
        return ayvex::kFxmTableWrite;
    return ayvex::kFxmWritten;
}

int fxmProcess(std::span<const std::uint8_t> module) {
    if (!ayvex::hasFxmMagic(module)) {
        removeOutFile();
        say("  + ERR: FXM the module does not start with FXSM");
        return ayvex::kFxmNotFxm;
    }
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(kOutFile, "wb"));
    if (!file) {
        say("  + ERR: FXM out.m cannot be created");
        return ayvex::kFxmCannotCreate;
    }
    const ayvex::FxmConversion result = ayvex::convertFxm(module);
    int status = result.status;
    if (status != ayvex::kFxmWritten) {
        say("  + ERR: FXM module refused: " + result.error);
    } else {
        status = writeFxm(file.get(), result);
        if (std::fclose(file.release()) != 0 && status == ayvex::kFxmWritten)
            status = ayvex::kFxmTableWrite;
        if (status != ayvex::kFxmWritten)
            say("  + ERR: FXM out.m cannot be written");
    }
    if (status != ayvex::kFxmWritten) {
        file.reset();
        removeOutFile();
    }
    return status;
}

} // namespace

extern "C" __attribute__((visibility("default"))) int32_t PT3Process(const void* module,
                                                                     uint32_t size) {
    try {
        return pt3Process(moduleBytes(module, size));
    } catch (...) {
        removeOutFile();
        say("  + ERR: PT3 conversion failed inside the library");
        return ayvex::kPt3Internal;
    }
}

extern "C" __attribute__((visibility("default"))) int32_t FXMProcess(const void* module,
                                                                     uint32_t size) {
    try {
        return fxmProcess(moduleBytes(module, size));
    } catch (...) {
        removeOutFile();
        say("  + ERR: FXM conversion failed inside the library");
        return ayvex::kFxmInternal;
    }
}
