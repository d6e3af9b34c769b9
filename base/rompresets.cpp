#include "base/rompresets.h"

#include <cstdio>

namespace telmira::rom {

namespace {

std::string hexId(std::uint32_t address) {
    char text[16];
    std::snprintf(text, sizeof text, "%04X", address);
    return text;
}

DefaultsLookup fail(int number, std::string text) {
    return {std::nullopt, {number, std::move(text)}};
}

const char* const kBrokenTable = "ZELSplitToROM: Структура ПЗУ нарушена";

DefaultsLookup lookupBits(const RomImage& image, const TableRef& table, std::uint32_t address) {
    const std::uint32_t n = address & 0xFFFF;
    if (n >= table.length / 2u)
        return fail(37, "ZELSplitToROM: Illegal defaults bits ID# " + hexId(address));
    if (image.byteAt(table.address) != std::optional<std::uint8_t>(0xFE))
        return fail(36, kBrokenTable);
    DefaultsEntry entry;
    entry.position = table.address + 1 + 2 * n;
    const auto value = image.byteAt(entry.position);
    if (!value)
        return fail(36, kBrokenTable);
    entry.value = *value;
    entry.maximum = 255;
    return {entry, {}};
}

DefaultsLookup lookupVal99(const RomImage& image, const TableRef& table, std::uint32_t address) {
    const std::uint32_t n = address & 0xFFFF;
    const std::uint32_t end = std::uint32_t{table.address} + table.length;
    std::uint32_t at = table.address;
    for (std::uint32_t index = 0;; ++index) {
        if (at >= end)
            return fail(35, "ZELSplitToROM:  Illegal defaults val99 ID# " + hexId(address));
        const auto first = image.byteAt(at);
        if (!first || *first == 0xFF)
            return fail(36, kBrokenTable);
        DefaultsEntry entry;
        std::uint32_t size = 0;
        if (*first == 0xFE) {
            entry.position = at + 1;
            entry.minimum = 0;
            entry.maximum = 255;
            size = 2;
        } else {
            const auto limit = image.byteAt(at + 1);
            if (!limit)
                return fail(36, kBrokenTable);
            entry.position = at;
            entry.maximum = (*limit & 0x7F) - 1;
            size = 2;
            if ((*limit & 0x80) == 0) {
                const auto minimum = image.byteAt(at + 2);
                if (!minimum)
                    return fail(36, kBrokenTable);
                entry.minimum = *minimum;
                size = 3;
            }
        }
        if (index == n) {
            const auto value = image.byteAt(entry.position);
            if (!value)
                return fail(36, kBrokenTable);
            entry.value = *value;
            return {entry, {}};
        }
        at += size;
    }
}

DefaultsLookup lookupValFF(const RomImage& image, const TableRef& table, std::uint32_t address) {
    const std::uint32_t n = address & 0xFFFF;
    const std::uint32_t end = std::uint32_t{table.address} + table.length;
    for (std::uint32_t index = 0, at = table.address;; ++index, at += 3) {
        if (at >= end)
            return fail(35, "ZELSplitToROM:  Illegal defaults valFF ID# " + hexId(address));
        const auto value = image.byteAt(at);
        const auto limit = image.byteAt(at + 1);
        const auto extra = image.byteAt(at + 2);
        if (!value || !limit || !extra || *value == 0xFE || *value == 0xFF)
            return fail(36, "ZELSplitToROM:  Структура ПЗУ нарушена");
        if (index == n) {
            DefaultsEntry entry;
            entry.position = at;
            entry.extraPosition = at + 2;
            entry.value = (*value & 0x7F) + ((*extra & 0x40) ? 0x80 : 0);
            entry.maximum = (*limit & 0x7F) + ((*extra & 0x80) ? 0x80 : 0) - 1;
            entry.minimum = *extra & 0x3F;
            return {entry, {}};
        }
    }
}

} // namespace

DefaultsLookup lookupDefaultsEntry(const RomImage& image, const RomDescription& rom,
                                   std::uint32_t address) {
    if (!rom.presetTables)
        return fail(36, kBrokenTable);
    if (address & kBitsClass)
        return lookupBits(image, rom.presetTables->bits, address);
    if (address & kVal99Class)
        return lookupVal99(image, rom.presetTables->val99, address);
    if (address & kValFFClass)
        return lookupValFF(image, rom.presetTables->valFF, address);
    return fail(36, kBrokenTable);
}

UserDataCursor::UserDataCursor(const RomDescription& rom)
    : runs_(rom.freeRuns), position_(rom.writeCursor) {}

bool UserDataCursor::put(RomImage& image, std::uint8_t value, ExportReport& report) {
    if (!position_ || exhausted_ || !image.putByte(*position_, value)) {
        if (position_ && !overflowReported_) {
            report.report(436, "ZELSplitToROM: Overflow in user data bytes, try to decrease "
                               "defaults in project");
            overflowReported_ = true;
        }
        exhausted_ = true;
        return false;
    }
    ++*position_;
    const unsigned bank = (*position_ - 1) / kBankSize; // the bank of the byte just written
    if (bank < runs_.size() && *position_ >= runs_[bank].end) {
        exhausted_ = true;
        for (unsigned j = bank + 1; j < runs_.size(); ++j) {
            if (!runs_[j].empty()) {
                position_ = runs_[j].start;
                exhausted_ = false;
                break;
            }
        }
    }
    return true;
}

} // namespace telmira::rom
