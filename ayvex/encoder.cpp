#include "ayvex/encoder.h"

namespace ayvex {

void Encoder::put(Table table, std::uint8_t value) {
    const std::uint8_t symbol = tableSymbol(table, value);
    const auto t = static_cast<std::size_t>(table);
    if (counts_)
        ++(*counts_)[t][symbol];
    if (!tables_) {
        bits_ += 8;
        return;
    }
    const unsigned length = (*tables_)[t].length[symbol];
    if (length == 0) {
        if (!missing_) {
            missing_ = true;
            missingTable_ = table;
            missingSymbol_ = symbol;
        }
        return;
    }
    appendBits((*tables_)[t].code[symbol], length);
}

void Encoder::appendBits(std::uint32_t code, unsigned length) {
    bits_ += length;
    // Up to 32 new bits on top of at most 7 waiting ones fit 64 bits.
    std::uint64_t waiting = pending_ | std::uint64_t(code) << pendingCount_;
    unsigned count = pendingCount_ + length;
    for (; count >= 8; count -= 8, waiting >>= 8)
        bytes_.push_back(std::uint8_t(waiting));
    pending_ = std::uint32_t(waiting) & 0xFF;
    pendingCount_ = count;
}

std::vector<std::uint8_t> Encoder::finish() {
    if (pendingCount_ > 0)
        bytes_.push_back(std::uint8_t(pending_));
    std::vector<std::uint8_t> out;
    out.swap(bytes_);
    pending_ = 0;
    pendingCount_ = 0;
    bits_ = 0;
    return out;
}

} // namespace ayvex
