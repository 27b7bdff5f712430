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

// Rewrites the CRC of `length` bytes from `start` into the two bytes after them.
void Reseal(Bytes& form, std::size_t start, std::size_t length) {
    const std::uint16_t crc = mduGlobalModule::GetCrc16(form, static_cast<std::int32_t>(start),
                                                        static_cast<std::int32_t>(length));
    form[start + length] = static_cast<std::uint8_t>(crc >> 8);
    form[start + length + 1] = static_cast<std::uint8_t>(crc & 0xFF);
}

// Collects the table error boxes of one scope.
class BoxesTest : public ::testing::Test {
  protected:
    platform::ScriptedMessageBoxes boxes_;
    platform::ScopedProgramMessageBoxes scope_{boxes_};

    void ExpectOneBox(const std::string& text, MsgIcon icon, const std::string& context) {
        ASSERT_EQ(boxes_.Boxes().size(), 1U) << context;
        EXPECT_EQ(boxes_.Boxes()[0].text, text) << context;
        EXPECT_EQ(boxes_.Boxes()[0].icon, icon) << context;
        EXPECT_EQ(boxes_.Boxes()[0].buttons, platform::MsgButtons::Ok) << context;
        boxes_.Clear();
    }
};

using ConfigBase = BoxesTest;
using Config1 = BoxesTest;
using Config2 = BoxesTest;
using Config3 = BoxesTest;

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

TEST_F(Config3, FreshTableRendersTheDefaultFormAndTakesItBack) {
    const clsUnitConfig3 fresh;
    Bytes expected = {0x10, 0x08, 0x01, 0xFE, 0x28, 0x02, 0x02, 0x0D, 0xD2};
    expected.resize(17, 0x00);
    EXPECT_EQ(fresh.RenderByteForm(), expected);

    clsUnitConfig3 other;
    other.SetUserOption_DemoPlayEnable(false);
    other.SetUserSpeedMute(90);
    other.SetAlarmSpeedOverride(7);
    other.SetSpeedLimitOverride(8);
    const Bytes changed = other.RenderByteForm();
    EXPECT_TRUE(mduGlobalModule::CheckCrc16(changed, 1, 8));

    ASSERT_TRUE(other.TakeByteForm(expected));
    EXPECT_EQ(other.RenderByteForm(), expected);
    EXPECT_EQ(other.UserSpeedMute(), 40);
    ASSERT_TRUE(other.TakeByteForm(changed));
    EXPECT_EQ(other.RenderByteForm(), changed);
    EXPECT_EQ(other.UserOptionVersion(), 1);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Config3, EachOptionOwnsExactlyOneBit) {
    using Get = bool (clsUnitConfig3::*)() const;
    using Set = void (clsUnitConfig3::*)(bool);
    struct Option {
        const char* name;
        std::uint8_t bit;
        Get get;
        Set set;
    };
#define OPTION(bit, name) \
    { #name, bit, &clsUnitConfig3::name, &clsUnitConfig3::Set##name }
    const Option options[] = {
        OPTION(0x01, UserOptionMode_AlarmSpeedCheckEnable),
        OPTION(0x02, UserOptionMode_AlarmNormalEnable),
        OPTION(0x04, UnitUserOptionMode_AlarmSpeedTracking),
        OPTION(0x08, UnitUserOptionMode_AlarmSpeedMute),
        OPTION(0x10, UnitUserOptionMode_WarningEnable),
        OPTION(0x20, UnitUserOptionMode_ServiceEnable),
        OPTION(0x40, UnitUserOptionMode_AutoSpeedLimitEnable),
        OPTION(0x80, UserOption_DemoPlayEnable),
    };
#undef OPTION
    for (const Option& o : options) {
        clsUnitConfig3 table;
        EXPECT_EQ((table.*o.get)(), o.bit != 0x01) << o.name;  // default mode 0xFE
        (table.*o.set)(false);
        EXPECT_EQ(table.UserOptionMode(), 0xFE & ~o.bit) << o.name;
        EXPECT_FALSE((table.*o.get)()) << o.name;
        (table.*o.set)(true);
        EXPECT_EQ(table.UserOptionMode(), 0xFE | o.bit) << o.name;
        EXPECT_TRUE((table.*o.get)()) << o.name;
        EXPECT_EQ(table.RenderByteForm()[3], table.UserOptionMode()) << o.name;
    }

    clsUnitConfig3 table;  // the defaults come back whole
    table.SetUnitUserOptionMode_WarningEnable(false);
    table.SetDefaultValue();
    table.SetUserOptionMode_AlarmSpeedCheckEnable(true);
    EXPECT_EQ(table.UserOptionMode(), 255);
}

TEST_F(Config3, DamagedFormsAreRefusedAndChangeNothing) {
    const Bytes good = clsUnitConfig3().RenderByteForm();
    Bytes badCrc = good;
    badCrc[4] ^= 0x01;
    Bytes version2 = good;
    version2[2] = 2;
    Reseal(version2, 1, 6);
    Bytes longRecord = good;
    longRecord[1] = 200;  // a record that runs past the array
    // Records of another length with a CRC that holds over what they declare:
    // the option fields would lie outside the CRC. The first was found by
    // fuzzing.
    const Bytes declares5 = {0x2C, 0x05, 0x01, 0x00, 0x60, 0x51, 0x00, 0x00,
                             0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    Bytes declares0 = good;  // length 0 would mean "to the end"
    declares0[1] = 0;
    declares0[4] = 0x77;
    Reseal(declares0, 1, 14);

    struct Case {
        const char* name;
        Bytes form;
        int error;
    };
    const Case cases[] = {
        {"empty", {}, 1},
        {"14 bytes", Bytes(good.begin(), good.begin() + 14), 1},
        {"bad record CRC", badCrc, 2},
        {"record past the end", longRecord, 2},
        {"all zero", Bytes(17, 0), 2},
        {"record length 5", declares5, 2},
        {"record length 0", declares0, 2},
        {"format version 2", version2, 3},
    };
    for (const Case& c : cases) {
        clsUnitConfig3 table;
        table.SetUserSpeedMute(99);
        table.SetUnitUserOptionMode_ServiceEnable(false);
        const Bytes before = table.RenderByteForm();
        EXPECT_FALSE(table.TakeByteForm(c.form)) << c.name;
        EXPECT_EQ(table.RenderByteForm(), before) << c.name;
        ExpectOneBox("Unit CFG3 Table abnormal : " + std::to_string(c.error), MsgIcon::None,
                     c.name);
    }
    // 15 bytes are enough: the zeros after the record are not needed.
    clsUnitConfig3 table;
    EXPECT_TRUE(table.TakeByteForm(Bytes(good.begin(), good.begin() + 15)));
}

TEST_F(Config2, IdentityIsPaddedOrCutToTenCharacters) {
    struct Case {
        std::string id;
        std::string rendered;
    };
    const Case cases[] = {
        {"", "          "},
        {"ABC", "ABC       "},
        {"0123456789", "0123456789"},
        {"XY0123456789", "0123456789"},
    };
    for (const Case& c : cases) {
        clsUnitConfig2 table;
        table.SetUnitID(c.id);
        table.SetUnitSystemOption(0x81);
        const Bytes form = table.MyByteArray();
        ASSERT_EQ(form.size(), 33U) << c.id;
        EXPECT_EQ(form[0], 32) << c.id;
        EXPECT_EQ(form[1], 17) << c.id;
        EXPECT_EQ(form[2], 1) << c.id;
        EXPECT_EQ(std::string(form.begin() + 3, form.begin() + 13), c.rendered) << c.id;
        EXPECT_TRUE(mduGlobalModule::CheckCrc16(form, 3, 12)) << c.id;
        EXPECT_EQ(form[15], 0x81) << c.id;
        EXPECT_TRUE(mduGlobalModule::CheckCrc16(form, 1, 17)) << c.id;
        EXPECT_EQ(Bytes(form.begin() + 18, form.end()), Bytes(15, 0)) << c.id;

        clsUnitConfig2 reader;
        ASSERT_TRUE(reader.SetMyByteArray(form)) << c.id;
        EXPECT_EQ(reader.UnitID(), c.rendered) << c.id;  // spaces included
        EXPECT_EQ(reader.UnitSystemOption(), 0x81) << c.id;
        EXPECT_TRUE(reader.AutoPlayAlarmNo()) << c.id;
    }
    const Bytes fresh = clsUnitConfig2().MyByteArray();
    EXPECT_EQ(Bytes(fresh.begin() + 3, fresh.begin() + 13), Bytes(10, 0x20));
    EXPECT_EQ(fresh[15], 0);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Config2, DamagedFormsAreRefusedAndChangeNothing) {
    clsUnitConfig2 source;
    source.SetUnitID("GPS0000042");
    const Bytes good = source.MyByteArray();
    Bytes badRecord = good;
    badRecord[15] ^= 0x40;
    Bytes version2 = good;
    version2[2] = 2;
    Reseal(version2, 1, 15);
    Bytes badIdentity = good;
    badIdentity[5] = 'X';  // identity CRC no longer matches; the record CRC is made whole
    Reseal(badIdentity, 1, 15);
    Bytes longRecord = good;
    longRecord[1] = 255;
    // Records of another length whose CRC holds over what they declare, with
    // a valid identity: the option byte would lie outside any record CRC.
    Bytes declares5 = good;
    declares5[1] = 5;
    Reseal(declares5, 1, 3);
    Reseal(declares5, 3, 10);
    declares5[15] = 0xFF;
    Bytes declares0 = good;  // length 0 would mean "to the end"
    declares0[1] = 0;
    declares0[15] = 0xFF;
    Reseal(declares0, 1, 30);

    struct Case {
        const char* name;
        Bytes form;
        int error;
    };
    const Case cases[] = {
        {"empty", {}, 1},
        {"30 bytes", Bytes(good.begin(), good.begin() + 30), 1},
        {"bad record CRC", badRecord, 2},
        {"record past the end", longRecord, 2},
        {"record length 5", declares5, 2},
        {"record length 0", declares0, 2},
        {"format version 2", version2, 3},
        {"bad identity CRC", badIdentity, 4},
    };
    for (const Case& c : cases) {
        clsUnitConfig2 table;
        table.SetUnitID("KEEP");
        table.SetUnitSystemOption(3);
        EXPECT_FALSE(table.SetMyByteArray(c.form)) << c.name;
        EXPECT_EQ(table.UnitID(), "KEEP") << c.name;
        EXPECT_EQ(table.UnitSystemOption(), 3) << c.name;
        ExpectOneBox("Unit CFG2 Table abnormal : " + std::to_string(c.error), MsgIcon::Critical,
                     c.name);
    }
    clsUnitConfig2 table;
    EXPECT_TRUE(table.SetMyByteArray(Bytes(good.begin(), good.begin() + 31)));
    EXPECT_EQ(table.UnitID(), "GPS0000042");
}

TEST_F(Config1, RendersTheSharedSecurityTableAndItsFields) {
    const clsUnitConfigBase base(5);
    clsUnitConfig1 table(base);
    EXPECT_EQ(table.AutoSpeedLimit(), 40);
    EXPECT_FALSE(table.AutoPlayAlarmNo());
    table.SetAutoSpeedLimit(110);
    table.SetAutoPlayAlarmNo(true);

    const Bytes form = table.MyByteArray();
    ASSERT_EQ(form.size(), 65U);
    EXPECT_EQ(form[0], 64);
    EXPECT_EQ(Bytes(form.begin() + 1, form.begin() + 17), base.SecurityTable());
    EXPECT_EQ(form[37], 110);
    EXPECT_EQ(form[38], 0x01);
    EXPECT_EQ(Bytes(form.begin() + 39, form.end()), Bytes(26, 0));

    clsUnitConfig1 reader;  // without a base: positions 1 to 16 stay 0
    const Bytes unshared = reader.MyByteArray();
    EXPECT_EQ(Bytes(unshared.begin() + 1, unshared.begin() + 17), Bytes(16, 0));
    ASSERT_TRUE(reader.SetMyByteArray(form));
    EXPECT_EQ(reader.AutoSpeedLimit(), 110);
    EXPECT_TRUE(reader.AutoPlayAlarmNo());
    reader.SetAutoPlayAlarmNo(false);
    EXPECT_EQ(reader.MyByteArray()[38], 0x00);
    EXPECT_TRUE(boxes_.Boxes().empty());
}

TEST_F(Config1, FormsTooShortForTheFieldsAreRefused) {
    Bytes form(65, 0);
    form[37] = 77;
    form[38] = 0xFF;
    for (std::size_t size : {0U, 14U, 36U, 37U, 38U}) {
        clsUnitConfig1 table;
        const std::string name = std::to_string(size) + " bytes";
        EXPECT_FALSE(table.SetMyByteArray(Bytes(form.begin(), form.begin() + size))) << name;
        EXPECT_EQ(table.AutoSpeedLimit(), 40) << name;
        EXPECT_FALSE(table.AutoPlayAlarmNo()) << name;
        ExpectOneBox("Unit CFG1 Table abnormal : 1", MsgIcon::None, name);
    }
    clsUnitConfig1 table;
    EXPECT_TRUE(table.SetMyByteArray(Bytes(form.begin(), form.begin() + 39)));
    EXPECT_EQ(table.AutoSpeedLimit(), 77);
    EXPECT_TRUE(table.AutoPlayAlarmNo());
}
