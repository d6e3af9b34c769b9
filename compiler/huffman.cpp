#include "compiler/huffman.h"

#include <algorithm>
#include <set>
#include <utility>

namespace telmira::compiler {

namespace {

constexpr unsigned kLongestCode = 64;

// What a symbol slot stands for: the symbol itself or a node made of it.
struct Ref {
    bool leaf = true;
    std::uint16_t value = 0;
};

struct Node {
    Ref right;
    Ref left;
};

// The smallest count first; on equal counts the highest-numbered slot.
struct SlotOrder {
    bool operator()(const std::pair<std::uint64_t, std::size_t>& a,
                    const std::pair<std::uint64_t, std::size_t>& b) const {
        if (a.first != b.first)
            return a.first < b.first;
        return a.second > b.second;
    }
};

void assignCodes(BuiltTree& built) {
    const zavra::HuffmanTree& tree = built.tree;
    struct Visit {
        std::size_t node;
        std::uint64_t bits;
        unsigned length;
    };
    std::vector<Visit> stack{{0, 0, 0}};
    while (!stack.empty()) {
        const Visit v = stack.back();
        stack.pop_back();
        if (v.length >= kLongestCode) {
            built.tooDeep = true;
            return;
        }
        for (const bool right : {false, true}) {
            const std::uint64_t bits = v.bits | (std::uint64_t{right} << v.length);
            const bool leaf = right ? tree.rightLeaf[v.node] : tree.leftLeaf[v.node];
            const std::uint16_t value = right ? tree.right[v.node] : tree.left[v.node];
            if (leaf)
                built.codes[value] = {bits, v.length + 1};
            else
                stack.push_back({value, bits, v.length + 1});
        }
    }
}

} // namespace

BuiltTree buildHuffmanTree(std::span<const std::uint32_t> counts, bool wideValues) {
    BuiltTree built;
    built.tree.wide = wideValues;
    built.codes.assign(counts.size(), {});
    std::vector<std::uint64_t> count(counts.begin(), counts.end());
    const auto active = std::count_if(count.begin(), count.end(), [](auto c) { return c > 0; });
    if (active == 0)
        return built;
    if (active == 1) {
        // A lone symbol gets a partner that never occurs, so its code is one bit.
        const auto spare = std::find(count.begin(), count.end(), 0u);
        if (spare != count.end())
            *spare = 1;
    }

    std::vector<Ref> stands(count.size());
    std::set<std::pair<std::uint64_t, std::size_t>, SlotOrder> slots;
    for (std::size_t s = 0; s < count.size(); ++s) {
        stands[s] = {true, static_cast<std::uint16_t>(s)};
        if (count[s] > 0)
            slots.insert({count[s], s});
    }
    std::vector<Node> nodes;
    while (slots.size() >= 2) {
        const auto first = *slots.begin();
        slots.erase(slots.begin());
        const auto second = *slots.begin();
        slots.erase(slots.begin());
        nodes.push_back({stands[first.second], stands[second.second]});
        stands[first.second] = {false, static_cast<std::uint16_t>(nodes.size() - 1)};
        slots.insert({first.first + second.first, first.second});
    }
    if (nodes.empty())
        return built; // a one-symbol alphabet: nothing to code

    // The root becomes node 0 and the first-made node takes the root's number.
    const std::size_t root = nodes.size() - 1;
    const auto renumber = [root](std::size_t k) { return k == root ? 0 : k == 0 ? root : k; };
    const auto child = [&](const Ref& r) {
        return r.leaf ? r.value : static_cast<std::uint16_t>(renumber(r.value));
    };
    zavra::HuffmanTree& tree = built.tree;
    tree.right.resize(nodes.size());
    tree.left.resize(nodes.size());
    tree.rightLeaf.resize(nodes.size());
    tree.leftLeaf.resize(nodes.size());
    for (std::size_t k = 0; k < nodes.size(); ++k) {
        const std::size_t at = renumber(k);
        tree.right[at] = child(nodes[k].right);
        tree.left[at] = child(nodes[k].left);
        tree.rightLeaf[at] = nodes[k].right.leaf ? 1 : 0;
        tree.leftLeaf[at] = nodes[k].left.leaf ? 1 : 0;
    }
    assignCodes(built);
    return built;
}

} // namespace telmira::compiler
