#pragma once

#include <QString>

#include <span>

// The fixed table of the main window's tools: index (also the group index of its menu command),
// name (also its `Windows` key in zel.ini and the identity of its tab), menu command, tab
// picture and the `Name` byte its phone replies carry. Plain data, no widgets.
namespace telmira {

enum ToolIndex : int {
    kToolArchives = 1,
    kToolNoteBook = 2,
    kToolPhoneSetup = 3,
    kToolMatrix = 4,
    kToolVarList = 5,
    kToolMelodyList = 6,
    kToolVocEditor = 7,
    kToolAutoSetup = 8,
};
inline constexpr int kToolCount = 8;

// Pictures of the tab image list: the active tab shows kTabImageSaved or kTabImageChanged,
// plus kTabImagePressed while its picture is held down; inactive tabs show the tool's picture.
inline constexpr int kTabImageSaved = 0;
inline constexpr int kTabImageChanged = 1;
inline constexpr int kTabImagePressed = 2;
// Menu commands of open tools show their picture plus this offset.
inline constexpr int kMenuPictureOpenOffset = 7;

struct ToolInfo {
    int index;
    const char* name;        // at most 35 characters
    const char* menuCommand; // nullptr: opened by another tool, no menu command
    int picture;             // index into the tab image list
    int replyName;           // the `Name` byte of its replies, -1 when it has none
};

// The eight tools, in index order.
std::span<const ToolInfo> toolTable();
// nullptr when the index is outside 1..8.
const ToolInfo* toolByIndex(int index);
// The tool with this name (case-insensitive, as zel.ini keys compare); nullptr when none.
const ToolInfo* toolByName(const QString& name);
// The tool whose replies carry this `Name` byte (0, 1, 2, 3, 10); nullptr for any other.
const ToolInfo* toolByReplyName(int name);

// Unchecking a tool's menu command hides its tab; these tools are destroyed as well, the
// layout, variables and city-code tools only when they hold no unsaved changes.
bool destroyedWhenUnchecked(int toolIndex, bool changed);

// The picture of a tab: the active one shows its saved or changed mark (pressed while held),
// an inactive one the tool's picture.
int tabImage(int toolIndex, bool active, bool changed, bool pressed);

// After the visible tab at `position` of `visibleCount` tabs was closed: the position of the
// tab that becomes current (the previous one when the last was closed, else the one now at the
// same position); -1 when no tab is left.
int tabPositionAfterClose(int position, int visibleCount);

} // namespace telmira
