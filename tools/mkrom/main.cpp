// mkrom: builds the demo firmware images and converts the demo text files.
//
//   mkrom image <source.txt> <out.rom> [--key <32 hexadecimal digits>]
//   mkrom broken <kind> <source.txt> <out.rom>
//       kind: bad-size, pointer-past-end, zero-length, bad-bank, unknown-type
//   mkrom text <in.txt> <out>
//       UTF-8 text with LF or CR LF line ends -> Windows-1251 with CR LF
#include "tools/mkrom/rombuilder.h"

#include "base/cp1251.h"
#include "base/firmware.h"
#include "base/romcontrol.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace {

using namespace telmira;

int usage() {
    std::fputs("usage: mkrom image <source.txt> <out.rom> [--key <32 hexadecimal digits>]\n"
               "       mkrom broken <kind> <source.txt> <out.rom>\n"
               "       mkrom text <in.txt> <out>\n",
               stderr);
    return 1;
}

int fail(const std::string& text) {
    std::fprintf(stderr, "mkrom: %s\n", text.c_str());
    return 1;
}

int writeImage(const mkrom::BuildResult& built, const std::string& out) {
    if (!built.image)
        return fail(built.error);
    if (rom::writeRomFile(out, built.image->bytes()) != rom::RomFileStatus::Ok)
        return fail("cannot write " + out);
    return 0;
}

int convertText(const std::string& in, const std::string& out) {
    std::ifstream file(in, std::ios::binary);
    if (!file)
        return fail("cannot read " + in);
    std::stringstream text;
    text << file.rdbuf();
    std::string crlf;
    for (char c : text.str()) {
        if (c == '\r')
            continue;
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    bool lossless = true;
    const std::string bytes = utf8ToCp1251(crlf, &lossless);
    if (!lossless)
        return fail(in + " holds characters that Windows-1251 lacks");
    const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                             bytes.size());
    if (rom::writeRomFile(out, span) != rom::RomFileStatus::Ok)
        return fail("cannot write " + out);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "text")
        return convertText(args[1], args[2]);
    if ((args.size() == 3 || args.size() == 5) && args[0] == "image") {
        XteaKey key = firmware::kDefaultDataKey;
        if (args.size() == 5) {
            const auto projectKey = rom::parseProjectKey(args[4]);
            const bool allDigits =
                args[4].find_first_not_of("0123456789abcdefABCDEF") == std::string::npos;
            if (args[3] != "--key" || !projectKey || !allDigits)
                return fail("--key needs 32 hexadecimal digits");
            key = *projectKey;
        }
        const auto source = mkrom::parseRomSource(args[1]);
        if (!source.source)
            return fail(source.error);
        return writeImage(mkrom::buildRom(*source.source, key), args[2]);
    }
    if (args.size() == 4 && args[0] == "broken") {
        const auto breakage = mkrom::breakageByName(args[1]);
        if (!breakage)
            return fail("unknown kind of breakage: " + args[1]);
        const auto source = mkrom::parseRomSource(args[2]);
        if (!source.source)
            return fail(source.error);
        return writeImage(
            mkrom::buildBrokenRom(*source.source, *breakage, firmware::kDefaultDataKey), args[3]);
    }
    return usage();
}
