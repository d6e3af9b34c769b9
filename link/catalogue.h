#pragma once

#include "base/linkvocabulary.h"

#include <span>

// The catalogue of commands: what each code of the link's vocabulary (base/linkvocabulary.h)
// carries, who sends it and why; the simulator and the debug window name commands from it.
namespace telmira::link {

struct CatalogueEntry {
    int command;
    const char* names;      // the `Name` values used, as text ("3, 8 or 9")
    const char* parameters; // what the parameter bytes hold
    const char* purpose;
    bool sentByLink; // sent by the link itself, not queued
};

// Every command of the catalogue, in code order (kWriteBlock appears once per sub-command).
std::span<const CatalogueEntry> commandCatalogue();
// The first entry for `command`, or nullptr when the application never sends it.
const CatalogueEntry* catalogueEntry(int command);

} // namespace telmira::link
