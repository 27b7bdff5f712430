#include <gtest/gtest.h>

#include <QCoreApplication>

#include "mduGlobalModule.h"

// The Qt serial control delivers its notifications through the event loop,
// so these tests run inside a QCoreApplication.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    mduGlobalModule::InitGlobalTables();
    return RUN_ALL_TESTS();
}
