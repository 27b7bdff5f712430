// The window program's single copy, run as an operator or a file manager
// would start it: its socket in the user's runtime folder. (Where that is for
// each user: tests/app/qt/RunningCopyTest.cpp; the command line and start-up
// checks: UsageLinesTest.cpp.)

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

#include "ChildProcess.h"
#include "TempDataFile.h"

namespace {

namespace fs = std::filesystem;

// A home, a temporary and a runtime folder of its own, so that the settings,
// the traces and the single-copy socket are the test's.
struct FreshUser {
    const TempDataFile folder{std::vector<std::uint8_t>{}};
    const fs::path root = folder.Folder();
    FreshUser() {
        fs::create_directories(root / "home");
        fs::create_directories(root / "tmp");
        // The user's runtime folder, where the single-copy socket lives.
        fs::create_directories(root / "run");
        fs::permissions(root / "run", fs::perms::owner_all);
    }
    std::map<std::string, std::string> Env() const {
        return {{"HOME", (root / "home").string()},
                {"XDG_CONFIG_HOME", (root / "home/.config").string()},
                {"XDG_DATA_HOME", (root / "home/.local/share").string()},
                {"TMPDIR", (root / "tmp").string()},
                {"XDG_RUNTIME_DIR", (root / "run").string()},
                {"QT_QPA_PLATFORM", "offscreen"}};
    }
    // Whether a window of this user listens for a second copy, within 10 s.
    bool Listening() const {
        for (int i = 0; i <= 100; ++i) {
            if (fs::exists(root / "run" / "gpsupdate.socket")) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        return false;
    }
};

}  // namespace

TEST(WindowProgram, ASecondCopyForTheSameUserHandsOverAndEnds) {
    FreshUser user;
    ChildProcess first(GPSUPDATE_PATH, {}, user.Env());
    ASSERT_TRUE(user.Listening());

    ChildProcess second(GPSUPDATE_PATH, {"new.apd"}, user.Env());
    EXPECT_EQ(second.Wait(10000), 0);
    EXPECT_NE(second.Errors(1000).find("already running"), std::string::npos);
    EXPECT_EQ(first.Wait(0), -1);  // the first goes on
    first.Signal(SIGTERM);
    EXPECT_EQ(first.Wait(10000), 0);
}
