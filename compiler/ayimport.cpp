#include "compiler/ayimport.h"

#include "compiler/fileio.h"

#include <dlfcn.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <memory>

namespace telmira::compiler {

namespace {

// The exports take the module's address and byte count and return a 32-bit result. The count
// is passed full-width: a library that declares it 32-bit reads the low half, which holds it.
extern "C" {
using AyConverter = std::int32_t (*)(const std::uint8_t* module, std::size_t size);
}

constexpr std::size_t kPointerAreaLine = 10;
constexpr std::size_t kSampleCountOffset = 8;
constexpr std::size_t kOrnamentCountOffset = 9;
constexpr std::size_t kPointersOffset = 10;
constexpr std::uint32_t kFxmRelocation = 2;

struct LibraryCloser {
    void operator()(void* handle) const { dlclose(handle); }
};

enum class ConvertStatus { Done, NoLibrary, NoFunction };

// The folder of the running program, with its final '/'; empty when it cannot be told.
std::string programFolder() {
    std::string path(4096, '\0');
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= path.size())
        return {};
    path.resize(static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1);
}

// A library named without a folder is looked for beside the program first (the program carries
// RPATH $ORIGIN, but a loader wrapped by a sanitizer or a debugger may not apply it to dlopen),
// then along the normal search path.
void* openLibrary(const std::string& library) {
    constexpr int kFlags = RTLD_NOW | RTLD_LOCAL;
    if (library.find('/') == std::string::npos) {
        const std::string folder = programFolder();
        if (!folder.empty())
            if (void* handle = dlopen((folder + library).c_str(), kFlags))
                return handle;
    }
    return dlopen(library.c_str(), kFlags);
}

// Loads the library, runs the export over the module and unloads the library again.
ConvertStatus convert(const std::string& library, const char* function,
                      const std::vector<std::uint8_t>& module, std::int32_t& result, Console& out) {
    std::unique_ptr<void, LibraryCloser> handle(openLibrary(library));
    if (!handle)
        return ConvertStatus::NoLibrary;
    void* symbol = dlsym(handle.get(), function);
    if (!symbol)
        return ConvertStatus::NoFunction;
    const auto process = reinterpret_cast<AyConverter>(symbol);
    out.flush(); // the library prints its warnings on the same standard output
    result = process(module.data(), module.size());
    std::fflush(stdout);
    return ConvertStatus::Done;
}

Outcome stopWith(Console& out, const char* message) {
    out.print("%s", message);
    return Outcome::stop(Outcome::kFileError);
}

// Reads the module and runs the converter; prints the messages up to the conversion.
Outcome loadAndConvert(Console& out, const std::string& path, const std::string& library,
                       const char* function, std::vector<std::uint8_t>& module,
                       std::int32_t& result) {
    auto file = readWholeFile(path);
    if (!file) {
        out.print("  + Can't open %s\n", path.c_str());
        return Outcome::stop(Outcome::kFileError);
    }
    module = std::move(*file);
    out.print("  + %u bytes read\n", static_cast<unsigned>(module.size()));
    // Output left over from an earlier run must never pass for this module's conversion.
    std::remove(kConverterOutput);
    switch (convert(library, function, module, result, out)) {
    case ConvertStatus::NoLibrary:
        return stopWith(out, "  + ayvex support library loading error\n");
    case ConvertStatus::NoFunction:
        return stopWith(out, "  + ayvex support library does'nt contains desired function\n");
    case ConvertStatus::Done:
        break;
    }
    return Outcome::next();
}

std::optional<std::string> readText(const char* path) {
    auto bytes = readWholeFile(path);
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

} // namespace

std::optional<ConvertedPt3> decodePt3Output(std::string_view text, std::size_t moduleSize) {
    ConvertedPt3 song;
    std::vector<std::uint8_t> buffer(moduleSize * 2, 0);
    std::size_t position = 0;
    bool wordMode = false;
    std::optional<std::size_t> length;
    std::size_t line = 0;
    std::size_t at = 0;
    for (;;) {
        while (at < text.size() && isSpace(text[at]))
            ++at;
        if (at == text.size())
            break;
        std::int64_t value = 0;
        const auto [end, error] =
            std::from_chars(text.data() + at, text.data() + text.size(), value);
        if (error != std::errc() || (end != text.data() + text.size() && !isSpace(*end)))
            return std::nullopt;
        at = static_cast<std::size_t>(end - text.data());

        if (line == kPointerAreaLine) {
            // Room for the sample, ornament and channel pointers the end of the file fills in.
            const auto samples = static_cast<std::int8_t>(
                buffer.size() > kSampleCountOffset ? buffer[kSampleCountOffset] : 0);
            const auto ornaments = static_cast<std::int8_t>(
                buffer.size() > kOrnamentCountOffset ? buffer[kOrnamentCountOffset] : 0);
            const std::int64_t next =
                static_cast<std::int64_t>(position) + value + samples + ornaments + 2;
            if (next < 0 || next > static_cast<std::int64_t>(buffer.size()))
                return std::nullopt;
            position = static_cast<std::size_t>(next);
        } else if (value < 0) {
            if (length)
                return std::nullopt;
            length = position;
            wordMode = true;
            position = kPointersOffset;
        } else if (wordMode) {
            if (position + 2 > *length)
                return std::nullopt;
            buffer[position] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
            buffer[position + 1] = static_cast<std::uint8_t>(value & 0xFF);
            song.relocations.push_back(static_cast<std::uint32_t>(position));
            position += 2;
        } else {
            if (position >= buffer.size())
                return std::nullopt;
            buffer[position++] = static_cast<std::uint8_t>(value & 0xFF);
        }
        ++line;
    }
    if (!length)
        return std::nullopt;
    buffer.resize(*length);
    song.data = std::move(buffer);
    return song;
}

Outcome readPt3(CompilerState& state, Console& out, const std::string& path,
                const std::string& library) {
    out.print("Reading PT3 file %s\n", path.c_str());
    std::vector<std::uint8_t> module;
    std::int32_t result = 0; // the PT3 export's result says nothing the output does not
    const Outcome converted = loadAndConvert(out, path, library, "PT3Process", module, result);
    if (!converted.goesOn())
        return converted;

    const auto text = readText(kConverterOutput);
    if (!text)
        return stopWith(out, "  + Failed\n");
    auto decoded = decodePt3Output(*text, module.size());
    std::remove(kConverterOutput);
    if (!decoded)
        return stopWith(out, "  + Failed - converted data is malformed\n");

    Song song;
    song.kind = SongKind::Pt3;
    song.path = path;
    song.type = state.songType;
    song.data = std::move(decoded->data);
    song.relocations = std::move(decoded->relocations);
    const double moduleSize = static_cast<double>(module.size());
    const double dataSize = static_cast<double>(song.data.size());
    out.print("  + Packing efficiency %.2f%% (%u=>%u)\n",
              moduleSize > 0 ? 100.0 * (moduleSize - dataSize) / moduleSize : 0.0,
              static_cast<unsigned>(module.size()), static_cast<unsigned>(song.data.size()));
    state.songs.push_back(std::move(song));
    out.print("  + Done\n");
    return Outcome::next();
}

Outcome readFxm(CompilerState& state, Console& out, const std::string& path,
                const std::string& library) {
    out.print("Reading FXM file %s\n", path.c_str());
    std::vector<std::uint8_t> module;
    std::int32_t result = 0;
    const Outcome converted = loadAndConvert(out, path, library, "FXMProcess", module, result);
    if (!converted.goesOn())
        return converted;

    if (result != 0) {
        const auto rc = static_cast<std::uint32_t>(result);
        out.print("  + Failed with rc=%u\n", rc);
        std::remove(kConverterOutput);
        return Outcome::stop(static_cast<int>(rc * 256u + 2u));
    }
    auto data = readWholeFile(kConverterOutput);
    if (!data)
        return stopWith(out, "  + Failed - out data not found\n");
    std::remove(kConverterOutput);
    // The word at offset 2 is relocated when the song is placed; it has to be there.
    if (data->size() < kFxmRelocation + 2)
        return stopWith(out, "  + Failed - out data too short\n");

    Song song;
    song.kind = SongKind::Fxm;
    song.path = path;
    song.type = state.songType;
    song.data = std::move(*data);
    song.relocations = {kFxmRelocation};
    out.print("  + Size: orig/processed %u/%u\n", static_cast<unsigned>(module.size()),
              static_cast<unsigned>(song.data.size()));
    state.songs.push_back(std::move(song));
    out.print("  + Done\n");
    return Outcome::next();
}

} // namespace telmira::compiler
