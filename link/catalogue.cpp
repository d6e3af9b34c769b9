#include "link/catalogue.h"

namespace telmira::link {
namespace {

// "f" stands for byte 2 when the phone feature level is not 0 and byte 0 otherwise.
constexpr CatalogueEntry kCatalogue[] = {
    {kClearNewCalls, "9", "none", "clear the phone's new-call indication (feature level above 1)",
     false},
    {kErasePhoneBook, "1", "none", "erase the phone's phone book before an export into it", false},
    {kReadNewArchive, "5", "none", "read new archive records (on FL_ARCHIVE)", false},
    {kStop, "3, 8 or 9", "none", "stop melody, hang up, stop playback or recording", false},
    {kReadSettings, "3 or 10", "none", "read the phone's settings", false},
    {kReadPresetVariables, "2", "none", "import the preset variables (first read)", false},
    {kReadPresetVariablesMore, "2", "none", "import the preset variables (second read)", false},
    {kReportMessageLength, "9", "none", "report the selected answering-machine message's length",
     false},
    {kPlayMelody, "3", "melody number", "play a melody in the phone", false},
    {kReadKeyMatrix, "0", "layout page index", "read a key matrix from the phone", false},
    {kReadPhoneBook, "1", "f, or byte 1", "read the phone book (first part, or next part)", false},
    {kReadServiceArea, "3", "f, or byte 1",
     "read the variables and the service-area cells (first part, or next part)", false},
    {kReadAlarms, "9, 3 or the editor's", "f, or byte 1", "read the alarms", false},
    {kDeleteAlarm, "3", "alarm number", "delete an alarm", false},
    {kPlayMessage, "9", "message + 10, or 10", "play an answering-machine message", false},
    {kRecordMessage, "9", "record code, or 10", "record the conversation, or the greeting", false},
    {kDeleteMessage, "9", "message + 10, or 10", "delete an answering-machine message", false},
    {kSelectMessage, "9", "message + 10, 10 or 11", "select an answering-machine message", false},
    {kAnsweringMachineService, "9", "5, 6, 7, 8, 9 or 10",
     "answering-machine service requests (erase all, reset, sizes, count)", false},
    {kReadArchive, "5", "byte 1, or f", "read the call archive (next part, or first part)", false},
    {kLineKey, "9", "key code + 128, byte 142, or byte 5", "line control keys and line reset",
     false},
    {kReadVolume, "9", "character 0, 1 or 2", "read the panel's volume settings", false},
    {kPanelSwitch, "9", "switch byte",
     "set a panel switch (microphone, listening, hands-free, handset loudness)", false},
    {kWriteBlock, "8 or the caller's", "$A2, dial character codes", "dial a number", false},
    {kWriteBlock, "1", "$A3, one phone-book record", "write a phone-book record", false},
    {kWriteBlock, "3 or 9", "$A4, data block", "write a data block (alarms, phone strings)", false},
    {kWriteVariable, "3 or 9", "index, value", "write a variable", false},
    {kWriteBitVariable, "3", "index and flag, mask", "write a bit variable", false},
    {kPressKey, "8 or 9", "key code", "press a phone key", false},
    {kSetClock, "-", "step index, value", "set the phone's clock", true},
    {kWakeUp, "-", "20 zero bytes", "wake the phone before the probe", true},
    {kIdlePoll, "8", "none", "idle poll", true},
    {kIdlePollInteractive, "0", "none", "idle poll in the interactive layout mode", true},
    {kProbe, "-", "none", "probe", true},
};

} // namespace

std::span<const CatalogueEntry> commandCatalogue() {
    return kCatalogue;
}

const CatalogueEntry* catalogueEntry(int command) {
    for (const CatalogueEntry& entry : kCatalogue)
        if (entry.command == command)
            return &entry;
    return nullptr;
}

} // namespace telmira::link
