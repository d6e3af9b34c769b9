#include "frame/tooltable.h"

#include "base/linkvocabulary.h"

namespace telmira {
namespace {

constexpr ToolInfo kTools[kToolCount] = {
    // Archive replies (link::kNameArchives) go to the archive reply handler, open tool or not.
    {kToolArchives, "Archives", "Архивы звонков", 9, -1},
    {kToolNoteBook, "NoteBook", "Записная книжка", 5, link::kNamePhoneBookTool},
    {kToolPhoneSetup, "PhoneSetup", "Управление телефоном", 8, link::kNamePhoneSettingsTool},
    {kToolMatrix, "Matrix", "Редактор раскладок", 4, link::kNameLayoutTool},
    {kToolVarList, "VarList", "Предустановленные переменные", 6, link::kNameVariablesTool},
    {kToolMelodyList, "MelodyList", "Наборы мелодий", 7, -1},
    {kToolVocEditor, "VocEditor", "Справочник городов", 10, -1},
    // Opened by the phone settings; it shares their picture.
    {kToolAutoSetup, "AutoSetup", nullptr, 8, link::kNameAutoSettingsTool},
};

} // namespace

std::span<const ToolInfo> toolTable() {
    return kTools;
}

const ToolInfo* toolByIndex(int index) {
    if (index < 1 || index > kToolCount)
        return nullptr;
    return &kTools[index - 1];
}

const ToolInfo* toolByName(const QString& name) {
    for (const ToolInfo& tool : kTools)
        if (name.compare(QLatin1String(tool.name), Qt::CaseInsensitive) == 0)
            return &tool;
    return nullptr;
}

const ToolInfo* toolByReplyName(int name) {
    if (name < 0)
        return nullptr;
    for (const ToolInfo& tool : kTools)
        if (tool.replyName == name)
            return &tool;
    return nullptr;
}

bool destroyedWhenUnchecked(int toolIndex, bool changed) {
    switch (toolIndex) {
    case kToolMelodyList:
    case kToolPhoneSetup:
    case kToolNoteBook:
    case kToolArchives:
        return true;
    case kToolMatrix:
    case kToolVarList:
    case kToolVocEditor:
        return !changed;
    default:
        return false;
    }
}

int tabImage(int toolIndex, bool active, bool changed, bool pressed) {
    if (!active) {
        const ToolInfo* tool = toolByIndex(toolIndex);
        return tool ? tool->picture : kTabImageSaved;
    }
    return (changed ? kTabImageChanged : kTabImageSaved) + (pressed ? kTabImagePressed : 0);
}

int tabPositionAfterClose(int position, int visibleCount) {
    const int left = visibleCount - 1;
    if (left <= 0)
        return -1;
    return position >= left ? left - 1 : position;
}

} // namespace telmira
