#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace telmira::compiler {

// The whole content of a regular file; nothing when it cannot be opened or read (missing,
// a folder, unreadable, larger than 4 GB, or more than memory holds).
std::optional<std::vector<std::uint8_t>> readWholeFile(const std::string& path);

// Little- and big-endian fields of a byte block; bytes past its end read as zero, so a short
// chunk gives zero fields instead of reading outside the block.
std::uint16_t le16(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint32_t le32(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint16_t be16(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint32_t be32(std::span<const std::uint8_t> bytes, std::size_t at);

} // namespace telmira::compiler
