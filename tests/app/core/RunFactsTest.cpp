// A run's facts as the sequence fills them in: what the unit said, where the
// run stood, how many blocks the unit took, how it ended.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "SequenceRig.h"

TEST(RunFacts, AnUpdateCarriesTheUnitTheFileAndEveryBlockItWrote) {
    struct Case {
        const char* name;
        const char* faults;
        RunOutcome outcome;
        std::int64_t resends;
        RunStage failedStage;
    };
    // 21 flash blocks and 4 parameter blocks in the rig's file.
    const Case cases[] = {
        {"clean", "", RunOutcome::Succeeded, 0, RunStage::None},
        {"two resends", "bad-status:code=51,block=3,times=2", RunOutcome::Succeeded, 2,
         RunStage::None},
        {"lost request", "deaf:code=51,block=5,times=1", RunOutcome::Succeeded, 1, RunStage::None},
        {"block refused", "bad-status:code=50,after=2", RunOutcome::Failed, 3,
         RunStage::ParameterTransfer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SequenceRig rig;
        rig.AddFault(c.faults);
        ASSERT_EQ(rig.Update(), c.outcome);
        ASSERT_EQ(rig.runs.size(), 1u);
        const RunFacts& run = rig.runs[0];
        EXPECT_EQ(run.kind, RunKind::Update);
        EXPECT_EQ(run.outcome, c.outcome);
        EXPECT_EQ(run.port, 1);
        EXPECT_EQ(run.serial, "GU48A0012345");
        EXPECT_EQ(run.programVersion, "GPSP01.2000");
        EXPECT_EQ(run.dataVersionBefore, "0512");
        EXPECT_EQ(run.fileDataVersion, "0601");
        EXPECT_EQ(run.recordReport, "正常");
        EXPECT_EQ(run.fileSize, static_cast<std::int64_t>(std::filesystem::file_size(
                                    std::filesystem::u8path(rig.dataFile->Path()))));
        EXPECT_EQ(run.fileSha256.size(), 64u);
        EXPECT_TRUE(run.eraseBegun);
        EXPECT_EQ(run.resends, c.resends);
        EXPECT_EQ(run.failedStage, c.failedStage);
        EXPECT_GE(run.endMs, run.startMs);
        if (c.outcome == RunOutcome::Succeeded) {
            EXPECT_EQ(run.blocksWritten, 25);
            EXPECT_EQ(run.dataVersionAfter, "0601");
            EXPECT_TRUE(run.failureText.empty());
        } else {
            // Every flash block and the first two parameter blocks.
            EXPECT_EQ(run.blocksWritten, 23);
            EXPECT_TRUE(run.dataVersionAfter.empty());
            EXPECT_EQ(run.failureText, rig.window->MessageText());
        }
        // The facts were handed on as they were learnt, before the end.
        ASSERT_FALSE(rig.factsLearned.empty());
        EXPECT_EQ(rig.factsLearned.back().outcome, RunOutcome::None);
        EXPECT_TRUE(rig.factsLearned.back().eraseBegun);
    }
}
