#include "zel/modules.h"

#include "contacts/datamodule.h"
#include "contacts/numbers.h"
#include "contacts/splitnumber.h"
#include "frame/workdir.h"
#include "gui/contacts/voceditor.h"
#include "project/exportdriver.h"
#include "zel/projectcommands.h"

#include <QCoreApplication>

namespace telmira::app {

NumberServices NumberServicesOver(std::shared_ptr<const contacts::TCodeDirectory> directory) {
    NumberServices services;
    services.split = [directory](const QString& number, bool keepCodes, const HomeArea& home) {
        const contacts::SplitResult parts =
            contacts::SplitNumberWithExtension(number, keepCodes, home, *directory);
        return link::NumberParts{parts.country, parts.city, parts.local, parts.extension};
    };
    services.formatByMask = &contacts::FormatByMask;
    return services;
}

DataModule::DataModule(std::unique_ptr<contacts::TDataModule1> tables,
                       std::shared_ptr<const contacts::TCodeDirectory> codes)
    : tables_(std::move(tables)), codes_(std::move(codes)) {
    tables_->SetCodeDirectory(codes_.get());
}

DataModule::~DataModule() = default;

std::unique_ptr<DataModule> DataModule::Open(const QString& workDir,
                                             std::shared_ptr<const contacts::TCodeDirectory> codes,
                                             QString* error) {
    contacts::DbError dbError;
    std::unique_ptr<contacts::TDataModule1> tables = contacts::TDataModule1::Open(workDir, dbError);
    if (error && dbError.kind != contacts::DbError::None)
        *error = QStringLiteral("База данных ") + contacts::TDataModule1::DatabasePath(workDir) +
                 QStringLiteral(": ") + dbError.message;
    if (!tables)
        return nullptr;
    return std::unique_ptr<DataModule>(new DataModule(std::move(tables), std::move(codes)));
}

ZelHooks ZelHooksOfThisBuild() {
    ZelHooks hooks;
    // zel -zelpack: the batch export of a project into a ROM image.
    hooks.romExport = [](const QString& romFile, const QString& projectFile) {
        const QString workDir =
            findWorkDirectory(QCoreApplication::applicationDirPath(), storedWorkDirSetting());
        return RunBatchExport(workDir, romFile, projectFile);
    };

    // The normal run reads codes.voc of its work directory once; the settings dialog, the
    // number display, the database module and the city-code editor share that reading, so what
    // the editor changes the others see at once.
    auto codes = std::make_shared<std::shared_ptr<contacts::TCodeDirectory>>();
    hooks.prepareWindow = [codes](const QString& workDir, MainWindowServices& window) {
        *codes = std::make_shared<contacts::TCodeDirectory>(workDir + QStringLiteral("codes.voc"));
        window.codes = *codes;
        window.numbers = NumberServicesOver(*codes);
        window.tools.insert(
            QStringLiteral("VocEditor"),
            [directory = *codes](ToolContext& tool) -> std::unique_ptr<TMyTabControl> {
                return std::make_unique<contacts::TVocEditor>(directory, &tool.ini);
            });
        window.installers.push_back([](TMainForm& form) { InstallProjectCommands(form); });
    };
    hooks.openDataModule = [codes](const StartState& state, QString* error) {
        return std::unique_ptr<QObject>(DataModule::Open(state.workDir, *codes, error));
    };
    return hooks;
}

} // namespace telmira::app
