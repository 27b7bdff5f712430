#include <gtest/gtest.h>

#include "mduGlobalModule.h"

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    mduGlobalModule::InitGlobalTables();
    return RUN_ALL_TESTS();
}
