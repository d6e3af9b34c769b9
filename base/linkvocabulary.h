#pragma once

#include <cstdint>

// The vocabulary of the phone link: the command codes of the frames the PC sends and the `Name`
// values of command records, which each reply carries back to its addressee. One table for the
// link, its reply dispatch, the tool table and the phone simulator; plain numbers, so it sits
// in base/ below everything that speaks to the phone (the tool table of frame/ included).
namespace telmira::link {

// Command codes (0-63, the low six bits of a command frame's header).
inline constexpr int kMaxCommand = 63;
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
    // Sent by the link itself, never queued.
    kSetClock = 58,
    kWakeUp = 59,
    kIdlePoll = 61,
    kIdlePollInteractive = 62,
    kProbe = 63,
};

// Sub-commands of kWriteBlock, its first parameter byte.
inline constexpr int kWriteDial = 0xA2;
inline constexpr int kWritePhoneBookRecord = 0xA3;
inline constexpr int kWriteDataBlock = 0xA4;

// `Name` values: the addressee written into a command record and returned in its reply.
enum AddresseeName : std::uint8_t {
    kNameLayoutTool = 0,
    kNamePhoneBookTool = 1,
    kNameVariablesTool = 2,
    kNamePhoneSettingsTool = 3,
    kNameArchives = 5,
    kNameDayChange = 6,
    // Events and commands whose reply needs no addressee (idle poll, hang-up, dialling from the
    // main window, the debug window).
    kNameNoAddressee = 8,
    kNamePhonePanel = 9,
    kNameAutoSettingsTool = 10,
};

} // namespace telmira::link
