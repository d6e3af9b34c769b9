#pragma once

#include "base/romcontrol.h"
#include "base/rompresets.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// A project's preset variables (its DefaultValues) into the ROM image: the bits, val99 and valFF
// defaults tables of bank 0, digit strings and the splash text in the user data area, the splash
// byte and the splash text in the fixed splash area. Every value is checked against the limits
// of the description and of the ROM before it is written; the first error ends the writing.
namespace telmira::presets {

// One project entry joined with its description record.
struct PresetVariable {
    QString id;
    QString rawValue;          // as the project stores it
    std::uint32_t address = 0; // 0: the description does not know the variable
    int additional = 0;
    int minimum = 0;
    int maximum = 0;
    int value = 0; // the value as a decimal number, 0 when it is none
    QString text;  // every ";" removed, at most 255 characters
};

// Joins a DefaultValues line "id=value" with the description's variable list.
PresetVariable JoinVariable(const QString& projectLine, const QStringList& variableList);

// The 8-digit hexadecimal address word; 0 when it is not one.
std::uint32_t ParseAddressWord(const QString& text);

// A digit string with its optional position "(x,y)" split off.
struct DigitString {
    QString digits;
    std::optional<std::pair<int, int>> position;
};
DigitString SplitDigitString(const QString& text);

// The code of one digit-string character (0..15); no value when it has none.
std::optional<std::uint8_t> DigitCode(QChar c);

// Writes every variable of `defaultValues` (the project's section lines). Reports errors into
// `report` and returns false after the first one.
bool WritePresetVariables(const QStringList& defaultValues, const QStringList& variableList,
                          rom::RomImage& image, const rom::RomDescription& rom,
                          rom::ExportReport& report);

} // namespace telmira::presets
