#include <gtest/gtest.h>

#include <QApplication>

#include "mduGlobalModule.h"
#include "mduSetupOptions.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(mduSetupOptions::AppName));
    // Windows closed by a test must not end anything.
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    mduGlobalModule::InitGlobalTables();
    return RUN_ALL_TESTS();
}
