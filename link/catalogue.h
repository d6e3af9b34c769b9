#pragma once

#include <span>

// The commands the application queues for the phone, and those the link sends by itself: one
// table, so the simulator, the debug window and the tests agree on the vocabulary.
namespace telmira::link {

enum PhoneCommand : int {
    kClearNewCalls = 0,
    kErasePhoneBook = 1,
    kReadNewArchive = 2,
    kStop = 3,
    kReadSettings = 4,
    kReadPresetVariables = 5,
    kReadPresetVariablesMore = 6,
    kReportMessageLength = 7,
    kPlayMelody = 8,
    kReadKeyMatrix = 9,
    kReadPhoneBook = 10,
    kReadServiceArea = 11,
    kReadAlarms = 12,
    kDeleteAlarm = 13,
    kPlayMessage = 14,
    kRecordMessage = 15,
    kDeleteMessage = 16,
    kSelectMessage = 17,
    kAnsweringMachineService = 18,
    kReadArchive = 19,
    kLineKey = 20,
    kReadVolume = 24,
    kPanelSwitch = 25,
    kWriteBlock = 32,
    kWriteVariable = 49,
    kWriteBitVariable = 56,
    kPressKey = 57,
    kSetClock = 58,
    kWakeUp = 59,
    kIdlePoll = 61,
    kIdlePollInteractive = 62,
    kProbe = 63,
};

// Sub-commands of kWriteBlock, the first parameter byte.
inline constexpr int kWriteDial = 0xA2;
inline constexpr int kWritePhoneBookRecord = 0xA3;
inline constexpr int kWriteDataBlock = 0xA4;

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
