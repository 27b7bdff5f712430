// The configuration tables' forms, the error each damaged form gives and
// what it leaves alone, are held against a model of the layouts by the
// fuzz_config target, whose corpus (fuzz/corpus/config) replays in ctest as
// fuzz_replay_config. Here: what that model does not see.

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "clsRandom.h"
#include "clsUnitConfig1.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfig3.h"
#include "clsUnitConfigBase.h"
#include "mduGlobalModule.h"

using Bytes = std::vector<std::uint8_t>;
using platform::MsgIcon;

namespace {

// Collects the table error boxes of one scope.
class ConfigBase : public ::testing::Test {
  protected:
    platform::ScriptedMessageBoxes boxes_;
    platform::ScopedProgramMessageBoxes scope_{boxes_};
};
using ConfigTables = ConfigBase;

}  // namespace

TEST_F(ConfigBase, DrawsItsTablesInTheFixedOrder) {
    const clsUnitConfigBase unseeded;
    EXPECT_TRUE(mduGlobalModule::CheckCrc16(unseeded.SecurityTable()));

    for (std::uint64_t seed : {1ULL, 77ULL, 123456789ULL}) {
        const clsUnitConfigBase base(seed);
        // The same seed in a random source replays the draws: random table,
        // security table, null bytes, start index.
        clsRandom replay(seed);
        Bytes random(256);
        Bytes security(16);
        Bytes nulls(64);
        replay.NextBytes(random);
        replay.NextBytes(security);
        replay.NextBytes(nulls);
        const auto index = static_cast<std::uint8_t>(replay.NextRandom(0, 255));

        EXPECT_EQ(base.RandomBytes(), random) << "seed " << seed;
        const Bytes table = base.SecurityTable();
        ASSERT_EQ(table.size(), 16U);
        EXPECT_EQ(Bytes(table.begin(), table.begin() + 14),
                  Bytes(security.begin(), security.begin() + 14))
            << "seed " << seed;
        EXPECT_TRUE(mduGlobalModule::CheckCrc16(table)) << "seed " << seed;
        EXPECT_EQ(base.ForceNullBytes(), nulls) << "seed " << seed;
        EXPECT_EQ(base.RandomInex(), index) << "seed " << seed;
        EXPECT_TRUE(base.UnitProgramVersion().empty());
        EXPECT_TRUE(base.UnitMapVersion().empty());
    }
    EXPECT_TRUE(boxes_.Boxes().empty());
}

// The box each table shows for a refused form (the model checks its text),
// and the values a table holds before anything is set or taken.
TEST_F(ConfigTables, RefusedFormsShowTheirBoxAndFreshTablesHoldTheDefaults) {
    clsUnitConfig1 config1;
    clsUnitConfig2 config2;
    clsUnitConfig3 config3;
    EXPECT_FALSE(config1.SetMyByteArray({}));
    EXPECT_FALSE(config2.SetMyByteArray({}));
    EXPECT_FALSE(config3.TakeByteForm({}));
    const MsgIcon icons[] = {MsgIcon::None, MsgIcon::Critical, MsgIcon::None};
    ASSERT_EQ(boxes_.Boxes().size(), 3U);
    for (int table = 0; table < 3; ++table) {
        EXPECT_EQ(boxes_.Boxes()[table].text,
                  "Unit CFG" + std::to_string(table + 1) + " Table abnormal : 1");
        EXPECT_EQ(boxes_.Boxes()[table].icon, icons[table]) << "CFG" << table + 1;
        EXPECT_EQ(boxes_.Boxes()[table].buttons, platform::MsgButtons::Ok);
    }

    EXPECT_EQ(config1.AutoSpeedLimit(), 40);
    EXPECT_FALSE(config1.AutoPlayAlarmNo());
    const Bytes form2 = config2.MyByteArray();
    EXPECT_EQ(Bytes(form2.begin() + 3, form2.begin() + 13), Bytes(10, 0x20));
    EXPECT_EQ(form2[15], 0);
    Bytes form3 = {0x10, 0x08, 0x01, 0xFE, 0x28, 0x02, 0x02, 0x0D, 0xD2};
    form3.resize(17, 0x00);
    EXPECT_EQ(config3.RenderByteForm(), form3);
}
