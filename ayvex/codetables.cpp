#include "ayvex/codetables.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <numeric>

namespace ayvex {

std::size_t symbolsInUse(Table table) {
    switch (table) {
    case Table::Value:
        return 256;
    case Table::Class:
        return 32;
    case Table::Small:
        return 16;
    case Table::Note:
        return 96;
    }
    return 0;
}

std::uint8_t tableSymbol(Table table, std::uint8_t value) {
    switch (table) {
    case Table::Class:
        return value & 0x1F;
    case Table::Small:
        return value & 0x0F;
    case Table::Value:
    case Table::Note:
        break;
    }
    return value;
}

static std::uint32_t lowBits(unsigned count) {
    return count >= 32 ? 0xFFFFFFFFu : (1u << count) - 1;
}

bool parseCodeTable(std::span<const std::uint8_t> bytes, CodeTable& table, std::string& error) {
    if (bytes.size() != kCodeTableFileSize) {
        error = "has " + std::to_string(bytes.size()) + " bytes instead of " +
                std::to_string(kCodeTableFileSize);
        return false;
    }
    CodeTable parsed;
    for (std::size_t s = 0; s < 256; ++s) {
        parsed.length[s] = bytes[s];
        const std::size_t at = 256 + 4 * s;
        parsed.code[s] = std::uint32_t(bytes[at]) | std::uint32_t(bytes[at + 1]) << 8 |
                         std::uint32_t(bytes[at + 2]) << 16 | std::uint32_t(bytes[at + 3]) << 24;
        if (parsed.length[s] > kMaxCodeLength) {
            error = "gives symbol " + std::to_string(s) + " a code of " +
                    std::to_string(parsed.length[s]) + " bits";
            return false;
        }
        if (parsed.length[s] > 0 && (parsed.code[s] & ~lowBits(parsed.length[s])) != 0) {
            error = "gives symbol " + std::to_string(s) + " a code wider than its length";
            return false;
        }
    }
    // A decoder reads bit by bit from bit 0, so no code may begin another one.
    std::vector<std::size_t> order(256);
    std::iota(order.begin(), order.end(), 0);
    order.erase(std::remove_if(order.begin(), order.end(),
                               [&](std::size_t s) { return parsed.length[s] == 0; }),
                order.end());
    std::sort(order.begin(), order.end(),
              [&](std::size_t a, std::size_t b) { return parsed.length[a] < parsed.length[b]; });
    for (std::size_t i = 0; i < order.size(); ++i)
        for (std::size_t j = i + 1; j < order.size(); ++j) {
            const std::size_t a = order[i];
            const std::size_t b = order[j];
            if ((parsed.code[b] & lowBits(parsed.length[a])) == parsed.code[a]) {
                error = "gives symbol " + std::to_string(a) + " a code that begins the code of " +
                        std::to_string(b);
                return false;
            }
        }
    table = parsed;
    return true;
}

std::vector<std::uint8_t> serializeCodeTable(const CodeTable& table) {
    std::vector<std::uint8_t> bytes(kCodeTableFileSize);
    for (std::size_t s = 0; s < 256; ++s) {
        bytes[s] = table.length[s];
        for (int k = 0; k < 4; ++k)
            bytes[256 + 4 * s + k] = std::uint8_t(table.code[s] >> (8 * k));
    }
    return bytes;
}

std::string codeTableFileName(std::size_t index) {
    return "pdata" + std::to_string(index) + ".bin";
}

bool loadCodeTables(const std::filesystem::path& dir, CodeTables& tables, std::string& error) {
    CodeTables loaded;
    for (std::size_t i = 0; i < kTableCount; ++i) {
        const std::string name = codeTableFileName(i);
        std::ifstream in(dir / name, std::ios::binary);
        if (!in) {
            error = "code table " + name + " cannot be read";
            return false;
        }
        // One byte more than a table holds shows a file that is too long.
        std::vector<std::uint8_t> bytes(kCodeTableFileSize + 1);
        in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
        if (in.bad()) {
            error = "code table " + name + " cannot be read";
            return false;
        }
        bytes.resize(std::size_t(in.gcount()));
        std::string why;
        if (!parseCodeTable(bytes, loaded[i], why)) {
            error = "code table " + name + " " + why;
            return false;
        }
    }
    tables = loaded;
    return true;
}

} // namespace ayvex
