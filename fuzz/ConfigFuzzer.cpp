// Fuzz target: byte forms into the unit configuration tables CFG1, CFG2 and
// CFG3, and field values out of them.
//
// Input: a selector byte, then either a byte form of any length to take, or
// field values (and option switches) to set and render. A form is taken
// exactly when the checks written from the table layouts pass (the error
// number shown otherwise names the first check that failed, and nothing
// changes); a taken form renders back to a canonical form with the same
// values, which is taken again; a rendered form is always taken back.

#include <algorithm>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "UnitCrc.h"
#include "clsUnitConfig1.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfig3.h"
#include "clsUnitConfigBase.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool RecordIntact(std::span<const std::uint8_t> form, std::size_t from, std::size_t length) {
    return form.size() >= from + length && sim::UnitCrc::Intact(form.subspan(from, length));
}

// The table error a form should give (0 when it is taken): its length, then
// (CFG2 and CFG3) the record's length byte and CRC and the version, then
// (CFG2) the identity's CRC.
int TableError(std::span<const std::uint8_t> form, std::size_t shortest, std::uint8_t record,
               bool identity) {
    if (form.size() < shortest) {
        return 1;
    }
    if (record != 0 && (form[1] != record || !RecordIntact(form, 1, record))) {
        return 2;
    }
    if (record != 0 && form[2] != 1) {
        return 3;
    }
    return identity && !RecordIntact(form, 3, 12) ? 4 : 0;
}

// A form is taken exactly when it has no error; a refused one shows the one
// box naming its error, a taken one none.
void CheckTaken(bool taken, int error, const char* table, platform::ScriptedMessageBoxes& boxes) {
    FUZZ_REQUIRE(taken == (error == 0));
    const std::string text = std::string("Unit ") + table + " Table abnormal : ";
    FUZZ_REQUIRE(error == 0 ? boxes.Boxes().empty()
                            : boxes.Boxes().size() == 1 &&
                                  boxes.Boxes()[0].text == text + std::to_string(error));
    boxes.Clear();
}

// A zeroed form of the given size: its length byte, then the head bytes.
Bytes ZeroForm(std::size_t size, std::initializer_list<std::uint8_t> head) {
    Bytes form(size, 0);
    form[0] = static_cast<std::uint8_t>(size - 1);
    std::copy(head.begin(), head.end(), form.begin() + 1);
    return form;
}

void PutCrc(Bytes& form, std::size_t from, std::size_t count) {
    const auto crc = sim::UnitCrc::Trailer(std::span(form).subspan(from, count));
    std::copy(crc.begin(), crc.end(), form.begin() + static_cast<std::ptrdiff_t>(from + count));
}

// --- CFG1 -----------------------------------------------------------------------------

Bytes Cfg1Form(const Bytes& table, std::uint8_t limit, std::uint8_t flags) {
    Bytes form = ZeroForm(65, {});
    std::copy(table.begin(), table.end(), form.begin() + 1);
    form[37] = limit;
    form[38] = flags;
    return form;
}

void TakeCfg1(std::span<const std::uint8_t> form, std::uint8_t startLimit, std::uint8_t startFlags,
              platform::ScriptedMessageBoxes& boxes) {
    const clsUnitConfigBase base(3);
    clsUnitConfig1 config(base);
    config.SetAutoSpeedLimit(startLimit);
    config.SetAutoPlayAlarmNo((startFlags & 1) != 0);
    const int error = TableError(form, 39, 0, false);  // positions 37 and 38 must exist
    CheckTaken(config.SetMyByteArray(form), error, "CFG1", boxes);
    const std::uint8_t limit = error != 0 ? startLimit : form[37];
    const std::uint8_t flags = error != 0 ? startFlags : form[38];
    FUZZ_REQUIRE(config.AutoSpeedLimit() == limit &&
                 config.AutoPlayAlarmNo() == ((flags & 1) != 0));
    if (error != 0) {
        return;
    }
    // The flags byte is kept whole: it renders back as it came.
    const Bytes rendered = config.MyByteArray();
    FUZZ_REQUIRE(rendered == Cfg1Form(base.SecurityTable(), limit, flags));
    clsUnitConfig1 again(base);
    FUZZ_REQUIRE(again.SetMyByteArray(rendered) && again.MyByteArray() == rendered);
}

void RenderCfg1(fuzz::ByteReader& in) {
    const clsUnitConfigBase base(in.Byte());
    clsUnitConfig1 config(base);
    config.SetAutoSpeedLimit(in.Byte());
    config.SetAutoPlayAlarmNo((in.Byte() & 1) != 0);
    const std::uint8_t limit = config.AutoSpeedLimit();
    const bool alarm = config.AutoPlayAlarmNo();
    const Bytes rendered = config.MyByteArray();
    FUZZ_REQUIRE(rendered == Cfg1Form(base.SecurityTable(), limit, alarm ? 1 : 0));
    clsUnitConfig1 back;
    FUZZ_REQUIRE(back.SetMyByteArray(rendered));
    FUZZ_REQUIRE(back.AutoSpeedLimit() == limit && back.AutoPlayAlarmNo() == alarm);
    // Without a common part the security table renders as zeros.
    clsUnitConfig1 alone;
    alone.SetAutoSpeedLimit(limit);
    alone.SetAutoPlayAlarmNo(alarm);
    FUZZ_REQUIRE(alone.MyByteArray() == Cfg1Form(Bytes(36, 0), limit, alarm ? 1 : 0));
}

// --- CFG2 -----------------------------------------------------------------------------

Bytes Cfg2Form(const std::string& tenCharacters, std::uint8_t option) {
    Bytes form = ZeroForm(33, {17, 1});
    std::copy(tenCharacters.begin(), tenCharacters.end(), form.begin() + 3);
    PutCrc(form, 3, 10);
    form[15] = option;
    PutCrc(form, 1, 15);
    return form;
}

// The identity as the form holds it: right-padded with spaces to ten
// characters, or the last ten of a longer one.
std::string TenCharacters(std::string id) {
    id.resize(std::max<std::size_t>(id.size(), 10), ' ');
    return id.substr(id.size() - 10);
}

void CheckCfg2(const clsUnitConfig2& config, const std::string& id, std::uint8_t option) {
    FUZZ_REQUIRE(config.UnitID() == id && config.UnitSystemOption() == option);
}

void TakeCfg2(std::span<const std::uint8_t> form, std::uint8_t startA, std::uint8_t startOption,
              platform::ScriptedMessageBoxes& boxes) {
    const std::string startId(startA % 12, 'Q');
    clsUnitConfig2 config;
    config.SetUnitID(startId);
    config.SetUnitSystemOption(startOption);
    const int error = TableError(form, 31, 17, true);
    CheckTaken(config.SetMyByteArray(form), error, "CFG2", boxes);
    const std::string id = error != 0 ? startId : std::string(form.begin() + 3, form.begin() + 13);
    const std::uint8_t option = error != 0 ? startOption : form[15];
    CheckCfg2(config, id, option);
    if (error != 0) {
        return;
    }
    FUZZ_REQUIRE(config.AutoPlayAlarmNo() == ((option & 1) != 0));
    const Bytes rendered = config.MyByteArray();
    FUZZ_REQUIRE(rendered == Cfg2Form(id, option));
    clsUnitConfig2 again;
    FUZZ_REQUIRE(again.SetMyByteArray(rendered) && boxes.Boxes().empty());
    CheckCfg2(again, id, option);
}

void RenderCfg2(fuzz::ByteReader& in) {
    clsUnitConfig2 config;
    std::uint8_t option = in.Byte();
    config.SetUnitSystemOption(option);
    if ((option & 0x80) != 0) {  // the alarm switch, which sets or clears bit 0
        const bool alarm = (in.Byte() & 1) != 0;
        config.SetAutoPlayAlarmNo(alarm);
        option = alarm ? (option | 1) : (option & 0xFE);
    }
    const std::string id = fuzz::AsText(in.Bytes(in.Byte() % 32));
    config.SetUnitID(id);
    FUZZ_REQUIRE(config.UnitSystemOption() == option);
    const Bytes rendered = config.MyByteArray();
    FUZZ_REQUIRE(rendered == Cfg2Form(TenCharacters(id), option));
    clsUnitConfig2 back;
    FUZZ_REQUIRE(back.SetMyByteArray(rendered));
    CheckCfg2(back, TenCharacters(id), option);
}

// --- CFG3 -----------------------------------------------------------------------------

struct Cfg3Values {
    std::uint8_t mode;
    std::uint8_t mute;
    std::uint8_t alarm;
    std::uint8_t limit;
    bool operator==(const Cfg3Values&) const = default;
};
constexpr Cfg3Values kCfg3Defaults{0xFE, 40, 2, 2};

Cfg3Values ValuesOf(const clsUnitConfig3& c) {
    return {c.UserOptionMode(), c.UserSpeedMute(), c.AlarmSpeedOverride(), c.SpeedLimitOverride()};
}

Bytes Cfg3Form(const Cfg3Values& v) {
    Bytes form = ZeroForm(17, {8, 1, v.mode, v.mute, v.alarm, v.limit});
    PutCrc(form, 1, 6);
    return form;
}

// The eight options, in bit order: how each is read and set.
struct OptionAccess {
    bool (clsUnitConfig3::*get)() const;
    void (clsUnitConfig3::*set)(bool);
};
#define OPTION(name) \
    { &clsUnitConfig3::name, &clsUnitConfig3::Set##name }
constexpr std::array<OptionAccess, 8> kOptions{{
    OPTION(UserOptionMode_AlarmSpeedCheckEnable),
    OPTION(UserOptionMode_AlarmNormalEnable),
    OPTION(UnitUserOptionMode_AlarmSpeedTracking),
    OPTION(UnitUserOptionMode_AlarmSpeedMute),
    OPTION(UnitUserOptionMode_WarningEnable),
    OPTION(UnitUserOptionMode_ServiceEnable),
    OPTION(UnitUserOptionMode_AutoSpeedLimitEnable),
    OPTION(UserOption_DemoPlayEnable),
}};
#undef OPTION

void TakeCfg3(std::span<const std::uint8_t> form, std::uint8_t /*unused*/, std::uint8_t /*unused*/,
              platform::ScriptedMessageBoxes& boxes) {
    clsUnitConfig3 config;
    const int error = TableError(form, 15, 8, false);
    CheckTaken(config.TakeByteForm(form), error, "CFG3", boxes);
    const Cfg3Values values =
        error != 0 ? kCfg3Defaults : Cfg3Values{form[3], form[4], form[5], form[6]};
    FUZZ_REQUIRE(ValuesOf(config) == values);
    if (error != 0) {
        return;
    }
    for (int bit = 0; bit < 8; ++bit) {
        FUZZ_REQUIRE((config.*kOptions[bit].get)() == ((form[3] >> bit) & 1));
    }
    const Bytes rendered = config.RenderByteForm();
    FUZZ_REQUIRE(rendered == Cfg3Form(values));
    clsUnitConfig3 again;
    FUZZ_REQUIRE(again.TakeByteForm(rendered) && ValuesOf(again) == values);
}

void RenderCfg3(fuzz::ByteReader& in) {
    clsUnitConfig3 config;
    Cfg3Values model = kCfg3Defaults;
    FUZZ_REQUIRE(ValuesOf(config) == model);
    config.SetUserSpeedMute(model.mute = in.Byte(40));
    config.SetAlarmSpeedOverride(model.alarm = in.Byte(2));
    config.SetSpeedLimitOverride(model.limit = in.Byte(2));
    // Option switches: bit number and value, one byte each.
    for (int n = in.Byte() % 16; n > 0 && !in.Empty(); --n) {
        const std::uint8_t op = in.Byte();
        const int bit = op & 7;
        const bool value = (op & 8) != 0;
        (config.*kOptions[bit].set)(value);
        model.mode =
            static_cast<std::uint8_t>((model.mode & ~(1u << bit)) | (value ? 1u << bit : 0));
        FUZZ_REQUIRE(ValuesOf(config) == model);
    }
    const Bytes rendered = config.RenderByteForm();
    FUZZ_REQUIRE(rendered == Cfg3Form(model));
    clsUnitConfig3 back;
    back.SetUserSpeedMute(0);
    FUZZ_REQUIRE(back.TakeByteForm(rendered) && ValuesOf(back) == model);
}

// Selector 0 to 2: a byte form of CFG1, 2 or 3, after two bytes that give the
// fields the table holds before it (so that a refused form visibly changes
// nothing); 3 to 5: field values of CFG1, 2 or 3 to set and render.
using TakeForm = void (*)(std::span<const std::uint8_t>, std::uint8_t, std::uint8_t,
                          platform::ScriptedMessageBoxes&);
constexpr std::array<TakeForm, 3> kTakes{&TakeCfg1, &TakeCfg2, &TakeCfg3};
constexpr std::array<void (*)(fuzz::ByteReader&), 3> kRenders{&RenderCfg1, &RenderCfg2,
                                                              &RenderCfg3};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::PrepareTables();
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scope(boxes);
    fuzz::ByteReader in(data, size);
    const std::size_t selector = in.Byte() % 6;
    if (selector >= 3) {
        kRenders[selector - 3](in);
        return 0;
    }
    const std::uint8_t startA = in.Byte();
    const std::uint8_t startB = in.Byte();
    kTakes[selector](in.Rest(), startA, startB, boxes);
    return 0;
}
