#pragma once

#include "base/romcontrol.h"

#include <cstdint>
#include <optional>

// The preset-variable tables of bank 0 and the user data area, as the export writes them.
namespace telmira::rom {

// Classes of a variable's 32-bit address word TTxxxxII: the variable number is the low 16 bits.
inline constexpr std::uint32_t kBitsClass = 1u << 31;
inline constexpr std::uint32_t kVal99Class = 1u << 30;
inline constexpr std::uint32_t kValFFClass = 1u << 29;
inline constexpr std::uint32_t kDigitStringClass = 1u << 27;
inline constexpr std::uint32_t kSplashByteAddress = 0x10000000;
inline constexpr std::uint32_t kSplashTextAddress = 0x10000001;

// One entry of a defaults table: the current value, its limits and the image offset of the
// value byte (for a valFF entry also of its extra byte, which holds bit 7 of the value).
struct DefaultsEntry {
    int value = -1;
    int minimum = 0;
    int maximum = 0;
    std::uint32_t position = 0;
    std::uint32_t extraPosition = 0; // valFF only
};

struct DefaultsLookup {
    std::optional<DefaultsEntry> entry;
    RomError error; // set when there is no entry
};

// Looks up the entry of a bits, val99 or valFF variable (numbers 35, 36, 37 on failure). An
// address word of another class, or an image without preset tables, yields an error too.
DefaultsLookup lookupDefaultsEntry(const RomImage& image, const RomDescription& rom,
                                   std::uint32_t address);

// The write cursor of the user data area: bytes go one after another through the free runs,
// bank by bank.
class UserDataCursor {
public:
    explicit UserDataCursor(const RomDescription& rom);

    bool available() const { return position_.has_value(); }
    std::optional<std::uint32_t> position() const { return position_; }

    // Stores the byte and advances. When no room is left the overflow line (number 436) is
    // reported once, and this and every later byte of the run is not written.
    bool put(RomImage& image, std::uint8_t value, ExportReport& report);

private:
    std::array<FreeRun, 8> runs_;
    std::optional<std::uint32_t> position_;
    bool exhausted_ = false;
    bool overflowReported_ = false;
};

} // namespace telmira::rom
