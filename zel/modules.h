#pragma once

#include "contacts/codedirectory.h"
#include "gui/frame/mainwindowservices.h"
#include "gui/frame/zelstart.h"

#include <QObject>
#include <QString>

#include <memory>

namespace telmira::contacts {
class TDataModule1;
}

// The modules of this build, handed to zel's start: everything main.cpp wires.
namespace telmira::app {

// Phone events' numbers split and laid out by the number module against the directory.
NumberServices NumberServicesOver(std::shared_ptr<const contacts::TCodeDirectory> directory);

// The database module of a normal run: the tables of db/zel.sqlite in the work directory, the
// directory naming the archive's countries and cities. Null with `error` set when the file
// cannot be opened; a database that opened with a complaint (rows that break an index) comes
// back with `error` set as well.
class DataModule : public QObject {
    Q_OBJECT
public:
    static std::unique_ptr<DataModule> Open(const QString& workDir,
                                            std::shared_ptr<const contacts::TCodeDirectory> codes,
                                            QString* error);
    ~DataModule() override;
    contacts::TDataModule1& Tables() { return *tables_; }

private:
    DataModule(std::unique_ptr<contacts::TDataModule1> tables,
               std::shared_ptr<const contacts::TCodeDirectory> codes);
    std::unique_ptr<contacts::TDataModule1> tables_;
    std::shared_ptr<const contacts::TCodeDirectory> codes_;
};

// Every hook of this build: the -zelpack export, the database module, the number services,
// the city-code directory and the project commands of the main window.
ZelHooks ZelHooksOfThisBuild();

} // namespace telmira::app
