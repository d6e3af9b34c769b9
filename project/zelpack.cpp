#include "project/zelpack.h"

#include "base/romcontrol.h"
#include "project/layouttables.h"
#include "project/presetvars.h"

#include <QFile>

namespace telmira {

namespace {

bool writeTable(rom::RomImage& image, std::uint32_t offset, std::span<const std::uint8_t> bytes,
                rom::ExportReport& report) {
    if (image.write(offset, bytes))
        return true;
    report.report(34, "ZELSplitToROM: Неверный размер в структуре ПЗУ");
    return false;
}

// The keyboard tables, the key tables and the calculator rows, in the firmware's order.
bool writeKeyboard(rom::RomImage& image, const rom::RomDescription& rom,
                   const layout::ParsedLayouts& parsed, const layout::KeyboardStaging& staging,
                   unsigned rowsNeeded, rom::ExportReport& report) {
    const rom::KeyboardTables& k = *rom.keyboard;
    const std::span<const std::uint8_t> functions(staging.functionTable);
    if (!writeTable(image, k.functionTable, functions.first(rowsNeeded * 16u), report) ||
        !writeTable(image, k.outputMaskTable, staging.outputMasks, report) ||
        !writeTable(image, k.scanMaskTable, staging.scanMasks, report) ||
        !writeTable(image, k.returnMaskTable, staging.returnMasks, report) ||
        !writeTable(image, k.driveTable, staging.drive, report) ||
        (k.newStyle && !writeTable(image, k.offsetTable, staging.offsets, report)))
        return false;
    const char* const illegalCalc = "ZELSplitToROM:  Illegal Calc_Tab Size, используйте "
                                    "последнюю версию ПЗУ программы Корвел";
    // The key tables' address comes from the calculator record; without that record neither
    // the key tables nor the calculator rows have a place.
    if (!rom.calculator) {
        report.report(341, illegalCalc);
        return false;
    }
    if (!writeTable(image, rom.calculator->keyTable, staging.keyTables, report))
        return false;
    if (!parsed.calculatorUsed)
        return true;
    const unsigned rowSize = rom.calculator->rowSize;
    if (rowSize < 12 || rowSize > 255) {
        report.report(341, illegalCalc);
        return false;
    }
    for (unsigned q = 0; q < layout::kLayouts; ++q) {
        if (!parsed.layouts[q].usesCalculator)
            continue;
        const auto row = std::span<const std::uint8_t>(parsed.calculator[q]).subspan(0x60, 12);
        if (!writeTable(image, rom.calculator->calculatorTable + rowSize * q, row, report))
            return false;
    }
    return true;
}

} // namespace

ZelPackResult ZelPack(const SettingsFile& project, const QString& projectFileName,
                      const PhoneDescription& description, const QString& romPath,
                      rom::ExportReport& report) {
    report.clear();
    ZelPackResult result;
    report.report(0, (QStringLiteral("Проект \"") + projectFileName +
                      QStringLiteral("\"\r\n  файл ПЗУ \"") + romPath + QStringLiteral("\""))
                         .toStdString());
    const std::filesystem::path path(QFile::encodeName(romPath).toStdString());
    std::optional<rom::LoadedRom> loaded = rom::readRomImage(path, report);
    if (!loaded)
        return result;

    layout::ParsedLayouts parsed;
    if (!layout::ParseLayouts(project, description.Keys(), description.Lines(), parsed, report))
        return result;
    const unsigned rowsNeeded = layout::RowsNeeded(parsed);

    const QString key = project.ReadString(QStringLiteral("Project"), QStringLiteral("Key"), {});
    const auto rom = rom::readControlStructure(loaded->image, loaded->structureOffset,
                                               key.toStdString(), rowsNeeded, report);
    if (!rom)
        return result;
    if (!rom->keyboard) {
        report.report(38, "ZELSplitToROM: В структуре ПЗУ нет таблиц клавиатуры");
        return result;
    }
    result.melodyCapacity = rom->melodyCapacity();

    layout::KeyboardStaging staging(rom->keyboard->newStyle, rom->keyboard->driveBase);
    if (!layout::BuildTables(parsed, staging, report))
        return result;

    rom::RomImage& image = loaded->image;
    if (!writeKeyboard(image, *rom, parsed, staging, rowsNeeded, report))
        return result;
    if (!presets::WritePresetVariables(project.ReadSection(QStringLiteral("DefaultValues")),
                                       description.Variables(), image, *rom, report))
        return result;
    if (rom->checksum) {
        if (const auto end = rom->checksum->end(); end && !rom::storeChecksum(image, *end)) {
            report.report(34, "ZELSplitToROM: Неверный размер в структуре ПЗУ");
            return result;
        }
    }
    result.ok = rom::writeRomImage(path, image, report);
    return result;
}

} // namespace telmira
