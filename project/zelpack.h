#pragma once

#include "base/romreport.h"
#include "frame/settings.h"
#include "project/descriptions.h"

#include <QString>

#include <cstdint>

// ZelPack: the export sequence that writes a project's keyboard layouts and preset variables
// into a ROM image. It reads the image, parses the layouts, reads the enciphered control
// structure, builds the keyboard tables, writes them, the preset variables and the checksum,
// and writes the image back only when no step reported an error: after any failure the image
// file is untouched.
namespace telmira {

struct ZelPackResult {
    bool ok = false;
    std::uint32_t melodyCapacity = 0; // of the image, for the melody step's report
};

// `projectFileName` names the project in the report's first line; `romPath` is the image file.
// Clears the report first.
ZelPackResult ZelPack(const SettingsFile& project, const QString& projectFileName,
                      const PhoneDescription& description, const QString& romPath,
                      rom::ExportReport& report);

} // namespace telmira
