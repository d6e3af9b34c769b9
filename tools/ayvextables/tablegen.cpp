#include "tools/ayvextables/tablegen.h"

#include "ayvex/pt3.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <queue>

namespace ayvextables {

namespace {

struct Node {
    std::uint64_t weight;
    int id; // leaves 0..255, inner nodes from 256; ties go to the smaller id
    bool operator>(const Node& other) const {
        return weight != other.weight ? weight > other.weight : id > other.id;
    }
};

std::array<std::uint8_t, 256> plainHuffman(const std::array<std::uint64_t, 256>& counts,
                                           unsigned& deepest) {
    std::priority_queue<Node, std::vector<Node>, std::greater<Node>> queue;
    std::vector<int> parent(512, -1);
    for (int s = 0; s < 256; ++s)
        if (counts[std::size_t(s)] > 0)
            queue.push({counts[std::size_t(s)], s});
    std::array<std::uint8_t, 256> lengths{};
    deepest = 0;
    if (queue.empty())
        return lengths;
    if (queue.size() == 1) {
        lengths[std::size_t(queue.top().id)] = 1;
        deepest = 1;
        return lengths;
    }
    int next = 256;
    while (queue.size() > 1) {
        const Node a = queue.top();
        queue.pop();
        const Node b = queue.top();
        queue.pop();
        parent[std::size_t(a.id)] = next;
        parent[std::size_t(b.id)] = next;
        queue.push({a.weight + b.weight, next++});
    }
    for (int s = 0; s < 256; ++s) {
        if (counts[std::size_t(s)] == 0)
            continue;
        unsigned depth = 0;
        for (int n = s; parent[std::size_t(n)] >= 0; n = parent[std::size_t(n)])
            ++depth;
        lengths[std::size_t(s)] = std::uint8_t(std::min(depth, 255u));
        deepest = std::max(deepest, depth);
    }
    return lengths;
}

std::uint32_t reverseBits(std::uint32_t code, unsigned length) {
    std::uint32_t reversed = 0;
    for (unsigned i = 0; i < length; ++i)
        reversed |= ((code >> i) & 1u) << (length - 1 - i);
    return reversed;
}

} // namespace

std::array<std::uint8_t, 256> huffmanLengths(const std::array<std::uint64_t, 256>& counts,
                                             unsigned maxLength) {
    std::array<std::uint64_t, 256> scaled = counts;
    for (;;) {
        unsigned deepest = 0;
        const auto lengths = plainHuffman(scaled, deepest);
        if (deepest <= maxLength)
            return lengths;
        for (auto& c : scaled)
            if (c > 0)
                c = (c + 1) / 2;
    }
}

ayvex::CodeTable canonicalCodes(const std::array<std::uint8_t, 256>& lengths) {
    std::vector<int> order;
    for (int s = 0; s < 256; ++s)
        if (lengths[std::size_t(s)] > 0)
            order.push_back(s);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return lengths[std::size_t(a)] < lengths[std::size_t(b)];
    });
    ayvex::CodeTable table;
    std::uint64_t code = 0;
    unsigned length = order.empty() ? 0 : lengths[std::size_t(order.front())];
    for (int s : order) {
        code <<= lengths[std::size_t(s)] - length;
        length = lengths[std::size_t(s)];
        table.length[std::size_t(s)] = std::uint8_t(length);
        table.code[std::size_t(s)] = reverseBits(std::uint32_t(code), length);
        ++code;
    }
    return table;
}

ayvex::CodeTables buildCodeTables(const ayvex::SymbolCounts& counts) {
    ayvex::CodeTables tables;
    for (std::size_t t = 0; t < ayvex::kTableCount; ++t) {
        std::array<std::uint64_t, 256> smoothed{};
        const std::size_t inUse = ayvex::symbolsInUse(ayvex::Table(t));
        for (std::size_t s = 0; s < inUse; ++s)
            smoothed[s] = counts[t][s] + 1;
        tables[t] = canonicalCodes(huffmanLengths(smoothed, ayvex::kMaxCodeLength));
    }
    return tables;
}

bool countModules(const std::filesystem::path& dir, ayvex::SymbolCounts& counts,
                  std::vector<std::string>& used, std::vector<std::string>& skipped,
                  std::string& error) {
    std::error_code ec;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
        std::string ext = entry.path().extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(),
                       [](unsigned char c) { return char(std::tolower(c)); });
        if (entry.is_regular_file() && ext == ".pt3")
            files.push_back(entry.path());
    }
    if (ec) {
        error = "cannot read the folder " + dir.string() + ": " + ec.message();
        return false;
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        std::string why;
        if (!in.eof() && in.fail())
            skipped.push_back(file.filename().string() + ": cannot be read");
        else if (!ayvex::countPt3Symbols(bytes, counts, why))
            skipped.push_back(file.filename().string() + ": " + why);
        else
            used.push_back(file.filename().string());
    }
    return true;
}

} // namespace ayvextables
