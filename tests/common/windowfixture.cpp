#include "tests/common/windowfixture.h"

#include "base/cp1251.h"

#include <QApplication>

// fontconfig keeps its configuration for the life of the process; the leak checker sees the
// blocks as lost when the program ends without releasing them.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

namespace telmira::test {

MainWindowServices fakeToolServices(std::initializer_list<const char*> names, int* opened) {
    MainWindowServices services;
    for (const char* name : names) {
        const QString tool = QString::fromLatin1(name);
        services.tools.insert(tool, [tool, opened](ToolContext&) {
            if (opened)
                ++*opened;
            return std::make_unique<FakeTool>(tool);
        });
    }
    return services;
}

WorkFolder::WorkFolder() {
    ensureApplication<QApplication>();
    state.workDir = QString::fromStdString(dir.dir().string()) + QLatin1Char('/');
    state.toolMode = true;
    ini = std::make_unique<TMyIniFile>(path("zel.ini"));
}

QString WorkFolder::path(const std::string& name) const {
    return QString::fromStdString((dir / name).string());
}

void WorkFolder::writeIni(const std::string& utf8Text) const {
    writeFile(dir / "zel.ini", utf8ToCp1251(utf8Text));
}

FakeTool* fakeTool(TMainForm& form, const QString& name) {
    return dynamic_cast<FakeTool*>(form.ToolTabs().Tool(name));
}

QTabWidget* toolPages(TMainForm& form) {
    return form.findChild<QTabWidget*>(QStringLiteral("ToolPages"));
}

QList<QAction*> recentCommands(TMainForm& form) {
    QList<QAction*> commands;
    for (int i = 0; i < 10; ++i)
        commands << findAction(form, QStringLiteral("Recent%1").arg(i));
    return commands;
}

QAction* findAction(QWidget& window, const QString& objectName) {
    return window.findChild<QAction*>(objectName);
}

TTrayControl* trayOf(TMainForm& form) {
    return form.findChild<TTrayControl*>();
}

} // namespace telmira::test
