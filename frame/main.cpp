// zel: wires the subsystem libraries together and hands over to the start sequence.
#include "frame/workdir.h"
#include "frame/zelstart.h"
#include "project/exportdriver.h"

#include <QCoreApplication>

int main(int argc, char** argv) {
    telmira::ZelHooks hooks;
    // zel -zelpack: the batch export of a project into a ROM image.
    hooks.romExport = [](const QString& romFile, const QString& projectFile) {
        const QString workDir = telmira::findWorkDirectory(QCoreApplication::applicationDirPath(),
                                                           telmira::storedWorkDirSetting());
        const telmira::BatchExportResult result =
            telmira::RunBatchExport(workDir, romFile, projectFile);
        return telmira::ExportReport{result.lines, result.error};
    };
    return telmira::zelMain(argc, argv, hooks);
}
