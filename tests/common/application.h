#pragma once

#include "tests/common/testpaths.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

// The one application object of a test program. Logic tests ask for a QCoreApplication, widget
// tests for a QApplication (they include <QApplication> themselves); the first call creates it
// on the offscreen platform, away from the desktop's session bus, and later calls return it.
namespace telmira::test {

template <class App = QCoreApplication> App& ensureApplication() {
    static int argc = 1;
    static char name[] = "telmira-test";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        // Windows broadcast the phone's numbers on the session bus: a test never reaches the
        // bus of the desktop it runs on.
        qputenv("DBUS_SESSION_BUS_ADDRESS", kNoSessionBus);
        new App(argc, argv);
    }
    auto* app = qobject_cast<App*>(QCoreApplication::instance());
    if (!app) {
        std::fputs("the test program already has an application object of another kind\n", stderr);
        std::abort();
    }
    return *app;
}

} // namespace telmira::test
