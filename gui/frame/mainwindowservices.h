#pragma once

#include "frame/startup.h"
#include "link/dispatch.h"

#include <QMap>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

// What the later modules lend the main window. main.cpp fills it, so the frame never depends on
// them; an empty member is a module this build does not have (its commands stay disabled).
namespace telmira {

namespace contacts {
class TCodeDirectory;
}
class SettingsFile;
class TMainForm;
class TMyTabControl;

// What a tool's open procedure gets.
struct ToolContext {
    TMainForm& mainForm;
    SettingsFile& ini;
    StartState& state;
    link::LinkShared* link; // nullptr while the application runs without a link
};

// A tool's open procedure: creates the tool, or returns nullptr when it cannot be opened.
using ToolFactory = std::function<std::unique_ptr<TMyTabControl>(ToolContext&)>;

// Telephone numbers of phone events (the number module of the city-code directory).
struct NumberServices {
    // Splits a number into country, city, local part and extension against the home area;
    // `keepCodes` false puts the dialling prefixes in place of the country code. Without it a
    // number stays whole in the local part.
    std::function<link::NumberParts(const QString& number, bool keepCodes, const HomeArea& home)>
        split;
    // Lays digits into a mask ("0000-000-00-00") from the right. Without it digits stay as they
    // are.
    std::function<QString(const QString& mask, const QString& digits)> formatByMask;
    // A number was shown in the last-number label (`shown` is its display form): the phone book
    // looks the caller up and the caller window pops up.
    std::function<void(TMainForm& mainForm, const link::NumberEvent& event, const QString& shown)>
        shown;
};

struct MainWindowServices {
    // The tools' open procedures by tool name ("Archives", "NoteBook", ...).
    QMap<QString, ToolFactory> tools;
    NumberServices numbers;
    // The archive reply handler; it takes archive replies whether the archive tool is open or
    // not.
    std::function<std::unique_ptr<ReplyAddressee>(ToolContext&)> archiveHandler;
    // The city-code directory, read once for the whole run: the settings dialog's country and
    // city lists, the number display and the city-code editor share it. codes.voc of the work
    // directory when not given.
    std::shared_ptr<contacts::TCodeDirectory> codes;
    // Each runs once the main window exists, to connect a module's commands (project menu,
    // alarms, ...) to it.
    std::vector<std::function<void(TMainForm&)>> installers;
};

} // namespace telmira
