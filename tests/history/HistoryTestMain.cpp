// The store's driver is a Qt plug-in: the tests need the application object
// (one with widgets where a test drives the history window).
#include <gtest/gtest.h>

#ifdef HISTORY_TEST_WINDOW
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char* argv[]) {
#ifdef HISTORY_TEST_WINDOW
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#endif
    TestApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
