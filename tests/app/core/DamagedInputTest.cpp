// Data files that the update cannot rely on: one that fails to read half way
// (a read error, not a short file) and one in a folder with a Chinese name.

#include <gtest/gtest.h>

#include "SequenceRig.h"
#include "clsPNV480DnLdData.h"

#ifndef _WIN32
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#endif

TEST(DamagedInput, ADataFileInAFolderWithAChineseNameIsUpdated) {
    SequenceRig rig;
    TempDataFile file(rig.dataFile->Image(), "資料檔/更新 0601.apd");
    rig.window->SetFileName(file.Path());
    ASSERT_EQ(rig.Update(), RunOutcome::Succeeded);
    EXPECT_TRUE(rig.UnitHoldsFile());
}

#ifndef _WIN32
// The far side of a pseudo-terminal gives the first half of the file, then
// goes away while the loader waits for the rest: the read fails with an I/O
// error, as a disk or network drive that fails half way does.
TEST(DamagedInput, ADataFileThatCannotBeReadHalfWayEndsThePreparation) {
    SequenceRig rig;
    const std::vector<std::uint8_t>& image = rig.dataFile->Image();

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string device = ptsname(master);
    const int keeper = open(device.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(keeper, 0);
    termios raw{};  // bytes pass as they are
    ASSERT_EQ(tcgetattr(keeper, &raw), 0);
    cfmakeraw(&raw);
    ASSERT_EQ(tcsetattr(keeper, TCSANOW, &raw), 0);
    const std::size_t half = image.size() / 2;
    ASSERT_EQ(write(master, image.data(), half), static_cast<ssize_t>(half));
    std::thread closer([master] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        close(master);
    });

    rig.window->SetFileName(device);
    const std::optional<RunOutcome> outcome = rig.Update();
    closer.join();
    close(keeper);
    ASSERT_EQ(outcome, RunOutcome::Failed);
    ASSERT_NE(rig.window->Sequence().DataFile(), nullptr);
    EXPECT_EQ(rig.window->Sequence().DataFile()->LastFailure(),
              clsPNV480DnLdData::LoadFailure::Content);
    EXPECT_EQ(rig.window->MessageText(), clsPNV480DnLdData::MessageContent());
    EXPECT_EQ(rig.window->Lamp(1), 3);
    EXPECT_FALSE(rig.Erased());
}
#endif
