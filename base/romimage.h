#pragma once

#include "base/romreport.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <vector>

// The phone's firmware image: 256 KB or 512 KB seen by the processor as 64 KB banks. A ROM
// address is a bank and a 16-bit address; its image offset is bank * 0x10000 + address. Every
// access is bounds-checked: nothing in an image, however broken, reads or writes outside it.
namespace telmira::rom {

inline constexpr std::uint32_t kBankSize = 0x10000;
inline constexpr std::uint32_t kSmallImageSize = 0x40000;
inline constexpr std::uint32_t kLargeImageSize = 0x80000;
// Bytes 0x20, 0x21 and 0x22 hold the disguised position of the control structure.
inline constexpr std::uint32_t kPointerPosition = 0x20;

bool isImageSize(std::uint64_t size);

constexpr std::uint32_t romOffset(unsigned bank, std::uint16_t address) {
    return bank * kBankSize + address;
}

class RomImage {
public:
    RomImage() = default;
    explicit RomImage(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::uint32_t size() const { return static_cast<std::uint32_t>(bytes_.size()); }
    unsigned bankCount() const { return size() / kBankSize; }
    // Whether [offset, offset + length) lies inside the image.
    bool contains(std::uint64_t offset, std::uint64_t length = 1) const {
        return offset <= bytes_.size() && length <= bytes_.size() - offset;
    }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

    std::optional<std::uint8_t> byteAt(std::uint64_t offset) const;
    // Big-endian, as the image's tables hold addresses.
    std::optional<std::uint16_t> wordAt(std::uint64_t offset) const;
    // False, and nothing written, when any byte would fall outside the image.
    bool write(std::uint64_t offset, std::span<const std::uint8_t> data);
    bool putByte(std::uint64_t offset, std::uint8_t value);
    bool putWord(std::uint64_t offset, std::uint16_t value);

    // The 16-bit sum of all bytes.
    std::uint16_t byteSum() const;

private:
    std::vector<std::uint8_t> bytes_;
};

// Offset of the control structure from the disguised pointer: bank = byte 0x20 XOR the mask,
// address = (byte 0x21 * 256 + byte 0x22 - the offset) mod 0x10000. Not range-checked against
// the image; no value when the image is too short to hold the pointer.
std::optional<std::uint32_t> controlStructureOffset(const RomImage& image);
// The pointer bytes that place the structure at `offset` (bank below 256).
std::array<std::uint8_t, 3> disguisedPointer(std::uint32_t offset);

// CRC-16 (XMODEM) over bytes [0, end), stored low byte first at end and end + 1. False, and
// nothing written, when end + 1 lies outside the image.
bool storeChecksum(RomImage& image, std::uint32_t end);
// The stored checksum at `end` matches the bytes before it.
bool checksumMatches(const RomImage& image, std::uint32_t end);

// Plain file access, errors as values.
enum class RomFileStatus { Ok, NoName, CannotOpen, ReadError, CannotCreate, WriteError };

struct RomFileContents {
    RomFileStatus status = RomFileStatus::Ok;
    std::uint64_t fileSize = 0;
    std::vector<std::uint8_t> bytes; // at most 512 KB of the file
};

// Reads the file, never more than 512 KB of it.
RomFileContents readRomFile(const std::filesystem::path& path);
// Replaces the file with the bytes; written to a temporary file beside it first, so a failed
// write leaves the old file as it was.
RomFileStatus writeRomFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes);

// The export's image reading with its numbered report lines: open (1 no name, 2 cannot open),
// read (4), the byte count, size (3), control structure position (5).
struct LoadedRom {
    RomImage image;
    std::uint32_t structureOffset = 0;
};
std::optional<LoadedRom> readRomImage(const std::filesystem::path& path, ExportReport& report);

// The export's write-back: refused while the report holds an error (the image on disk stays as
// it was); otherwise the file is replaced (6 no name, 7 cannot create, 8 cannot write) and the
// success line is reported. True when the file was written.
bool writeRomImage(const std::filesystem::path& path, const RomImage& image, ExportReport& report);

} // namespace telmira::rom
