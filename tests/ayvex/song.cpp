#include "tests/ayvex/song.h"

#include "tests/common/testpaths.h"

#include <gtest/gtest.h>

#include <sstream>

namespace ayvextest {

Song assembleLikeCompiler(const std::vector<int>& lines, std::size_t moduleSize) {
    Song song;
    song.data.assign(2 * moduleSize, 0);
    std::size_t pos = 0;
    bool words = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const int v = lines[i];
        if (i == 10) {
            pos += std::size_t(v + std::int8_t(song.data.at(8)) + std::int8_t(song.data.at(9)) + 2);
        } else if (v < 0) {
            song.length = pos;
            words = true;
            pos = 10;
        } else if (words) {
            if (pos + 2 > song.data.size()) {
                song.error = "word past the buffer at " + std::to_string(pos);
                return song;
            }
            song.data[pos] = std::uint8_t(v >> 8);
            song.data[pos + 1] = std::uint8_t(v);
            song.relocations.push_back(pos);
            pos += 2;
        } else {
            if (pos >= song.data.size()) {
                song.error = "byte past the buffer at " + std::to_string(pos);
                return song;
            }
            song.data[pos++] = std::uint8_t(v);
        }
    }
    return song;
}

std::vector<int> readOutLines(const std::filesystem::path& file) {
    std::istringstream text(telmira::test::readFile(file));
    std::vector<int> lines;
    std::string line;
    while (std::getline(text, line)) {
        std::size_t used = 0;
        const int value = std::stoi(line, &used);
        EXPECT_EQ(used, line.size()) << "line " << lines.size() << ": " << line;
        lines.push_back(value);
    }
    return lines;
}

std::ostream& operator<<(std::ostream& out, const Sym& sym) {
    return out << 'T' << int(sym.table) << '(' << sym.value << ')';
}

std::vector<Sym> decodeLike(std::span<const std::uint8_t> bytes, const ayvex::CodeTables& tables,
                            const std::vector<Sym>& expected) {
    std::vector<Sym> decoded;
    std::size_t bit = 0;
    for (const Sym& want : expected) {
        const ayvex::CodeTable& table = tables[std::size_t(want.table)];
        std::uint32_t code = 0;
        int found = -1;
        for (unsigned length = 1; length <= 32 && found < 0; ++length) {
            if (bit >= 8 * bytes.size())
                break;
            code |= std::uint32_t((bytes[bit / 8] >> (bit % 8)) & 1) << (length - 1);
            ++bit;
            for (int s = 0; s < 256; ++s)
                if (table.length[std::size_t(s)] == length && table.code[std::size_t(s)] == code)
                    found = s;
        }
        decoded.push_back({want.table, found});
        if (found < 0)
            break;
    }
    return decoded;
}

std::uint32_t codedBits(const ayvex::CodeTables& tables, const std::vector<Sym>& symbols) {
    std::uint32_t bits = 0;
    for (const Sym& s : symbols)
        bits += tables[std::size_t(s.table)].length[std::size_t(s.value)];
    return bits;
}

const ayvex::CodeTables& shippedTables() {
    static const ayvex::CodeTables tables = [] {
        ayvex::CodeTables loaded;
        std::string error;
        if (!ayvex::loadCodeTables(std::filesystem::path(TELMIRA_SOURCE_DIR) / "data" / "ayvex",
                                   loaded, error))
            ADD_FAILURE() << error;
        return loaded;
    }();
    return tables;
}

} // namespace ayvextest
