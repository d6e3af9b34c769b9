#pragma once

#include "base/zavrastream.h"

#include <cstdint>
#include <span>
#include <vector>

namespace telmira::compiler {

// A symbol's code: its path from the root, the first step in bit 0 (0 left, 1 right).
struct HuffmanCode {
    std::uint64_t bits = 0;
    unsigned length = 0; // 0: the symbol has no code
};

// A static Huffman tree built from the counts of a song's symbols, and the code of each symbol.
struct BuiltTree {
    zavra::HuffmanTree tree; // absent when no symbol occurs
    std::vector<HuffmanCode> codes;
    bool tooDeep = false; // a code longer than 64 bits (needs counts no song reaches)
};

// Builds the tree the way the phone's songs are packed:
//  1. symbols with count 0 are inactive; when exactly one is active, the lowest-numbered
//     inactive symbol gets count 1; when none is, the tree is absent;
//  2. while two or more slots are active, the smallest (on equal counts the highest-numbered)
//     is taken, then again the smallest; a new node gets the second one as its left child and
//     the first as its right; the first slot becomes active again with the sum and stands for
//     the node; nodes are numbered in creation order;
//  3. the root (the last node) and node 0 exchange numbers.
BuiltTree buildHuffmanTree(std::span<const std::uint32_t> counts, bool wideValues);

} // namespace telmira::compiler
