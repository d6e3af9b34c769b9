#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace ayvex {

// A module's bytes as the converter may read them: offsets below `limit` only, which is never
// more than the bytes the caller handed over. Callers ask has() before at() or word().
class Bytes {
public:
    Bytes(std::span<const std::uint8_t> data, std::uint32_t limit)
        : data_(data), limit_(limit < data.size() ? limit : std::uint32_t(data.size())) {}

    std::uint32_t limit() const { return limit_; }
    bool has(std::uint32_t offset, std::uint32_t count) const {
        return offset <= limit_ && count <= limit_ - offset;
    }
    std::uint8_t at(std::uint32_t offset) const { return data_[offset]; }
    std::uint16_t word(std::uint32_t offset) const {
        return std::uint16_t(data_[offset] | data_[offset + 1] << 8);
    }

private:
    std::span<const std::uint8_t> data_;
    std::uint32_t limit_;
};

} // namespace ayvex
