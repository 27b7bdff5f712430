// Data files that the update cannot rely on: one that fails to read half way
// (a read error, not a short file) and one in a folder with a Chinese name.

#include <gtest/gtest.h>

#include "SequenceRig.h"
#include "clsPNV480DnLdData.h"

#ifndef _WIN32
#include <chrono>
#include <thread>

#include "PtyPeer.h"
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

    PtyPeer peer;
    ASSERT_TRUE(peer.Ok());
    ASSERT_TRUE(peer.Write(std::span(image).first(image.size() / 2)));
    std::thread closer([&peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.HangUp();
    });

    rig.window->SetFileName(peer.Path());
    const std::optional<RunOutcome> outcome = rig.Update();
    closer.join();
    ASSERT_EQ(outcome, RunOutcome::Failed);
    ASSERT_NE(rig.window->Sequence().DataFile(), nullptr);
    EXPECT_EQ(rig.window->Sequence().DataFile()->LastFailure(),
              clsPNV480DnLdData::LoadFailure::Content);
    EXPECT_EQ(rig.window->MessageText(), clsPNV480DnLdData::MessageContent());
    EXPECT_EQ(rig.window->Lamp(1), 3);
    EXPECT_FALSE(rig.Erased());
}
#endif
