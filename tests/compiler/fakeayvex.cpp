// A stand-in for the AY converter library with the same two exports. The module it is given says
// what to do, so a test controls the converter's output byte for byte:
//   PT3Process: a module beginning "OUT:\n" has the rest written to out.m; any other module
//               writes nothing (as when the code tables are missing) and returns 1.
//   FXMProcess: a module beginning "RC=<n>\n" has the rest written to out.m and returns n;
//               any other module is written to out.m whole and 0 returned.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void writeOut(const char* bytes, std::size_t size) {
    std::FILE* file = std::fopen("out.m", "wb");
    if (!file)
        return;
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);
}

} // namespace

extern "C" std::int32_t PT3Process(const std::uint8_t* module, std::uint32_t size) {
    const std::string_view text(reinterpret_cast<const char*>(module), size);
    constexpr std::string_view kOut = "OUT:\n";
    if (!text.starts_with(kOut))
        return 1;
    std::printf("\a  + WARN: converter note\n");
    writeOut(text.data() + kOut.size(), text.size() - kOut.size());
    return 0;
}

extern "C" std::int32_t FXMProcess(const std::uint8_t* module, std::uint32_t size) {
    const std::string_view text(reinterpret_cast<const char*>(module), size);
    constexpr std::string_view kRc = "RC=";
    if (text.starts_with(kRc)) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos)
            return -1;
        const int rc = std::atoi(std::string(text.substr(3, end - 3)).c_str());
        writeOut(text.data() + end + 1, text.size() - end - 1);
        return rc;
    }
    writeOut(text.data(), text.size());
    return 0;
}
