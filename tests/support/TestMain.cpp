// One main for every test program: it fills the module tables once, as the
// programs do at start. Programs whose tests need Qt's event loop or its
// widgets are built with GPS_TEST_QT and run inside an application object,
// offscreen unless a platform is chosen.
#include <gtest/gtest.h>

#include "mduGlobalModule.h"

#ifdef GPS_TEST_QT
#include <QApplication>

#include "mduSetupOptions.h"
#endif

int main(int argc, char** argv) {
#ifdef GPS_TEST_QT
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(mduSetupOptions::AppName));
    // Windows closed by a test must not end anything.
    QApplication::setQuitOnLastWindowClosed(false);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    mduGlobalModule::InitGlobalTables();
    return RUN_ALL_TESTS();
}
