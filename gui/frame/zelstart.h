#pragma once

#include "frame/batchlog.h"
#include "gui/frame/mainwindowservices.h"
#include "gui/frame/normalrun.h"

// The start of zel: single instance, work directory, switches, then the batch run or the
// normal run with the main window.
namespace telmira {

// What the later modules lend the start; main.cpp fills it. An empty member means this build
// does not have that module yet.
struct ZelHooks {
    // The -zelpack export of a project into a ROM image.
    RomExportFn romExport;
    // The main window's tools, number services and module installers.
    MainWindowServices window;
    // The database module of the normal run.
    DataModuleFactory openDataModule;
    // Completes `window` once the work directory (ending with '/') is known, before the main
    // window is created: what reads the work directory's files (the city-code directory) is
    // handed over here.
    std::function<void(const QString& workDir, MainWindowServices& window)> prepareWindow;
};

// The whole life of the zel process. Returns the process exit code.
int zelMain(int argc, char** argv, const ZelHooks& hooks = {});

} // namespace telmira
