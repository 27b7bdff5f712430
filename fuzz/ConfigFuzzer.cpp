// Fuzz target: byte forms into the unit configuration tables CFG1, CFG2 and
// CFG3, and field values out of them.
//
// Input: a selector byte, then either a byte form of any length to take, or
// field values (and option switches) to set and render. A form is taken
// exactly when the checks written from the table layouts pass (the error
// number shown otherwise names the first check that failed, and nothing
// changes); a taken form renders back to a canonical form with the same
// values, which is taken again; a rendered form is always taken back.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "clsUnitConfig1.h"
#include "clsUnitConfig2.h"
#include "clsUnitConfig3.h"
#include "clsUnitConfigBase.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

bool RecordIntact(std::span<const std::uint8_t> form, std::size_t from, std::size_t length) {
    return form.size() >= from + length && fuzz::ReferenceCrcIntact(form.subspan(from, length));
}

// The table error a form should give (0 when it is taken).
int Cfg1Error(std::span<const std::uint8_t> form) {
    return form.size() < 39 ? 1 : 0;  // positions 37 and 38 must exist
}

int Cfg2Error(std::span<const std::uint8_t> form) {
    if (form.size() < 31) {
        return 1;
    }
    if (form[1] != 17 || !RecordIntact(form, 1, 17)) {
        return 2;
    }
    if (form[2] != 1) {
        return 3;
    }
    return RecordIntact(form, 3, 12) ? 0 : 4;
}

int Cfg3Error(std::span<const std::uint8_t> form) {
    if (form.size() < 15) {
        return 1;
    }
    if (form[1] != 8 || !RecordIntact(form, 1, 8)) {
        return 2;
    }
    return form[2] != 1 ? 3 : 0;
}

// The one box a refused form shows, or none for a taken one.
void CheckBoxes(platform::ScriptedMessageBoxes& boxes, const char* table, int error) {
    if (error == 0) {
        FUZZ_REQUIRE(boxes.Boxes().empty());
    } else {
        FUZZ_REQUIRE(boxes.Boxes().size() == 1);
        FUZZ_REQUIRE(boxes.Boxes()[0].text ==
                     std::string("Unit ") + table + " Table abnormal : " + std::to_string(error));
    }
    boxes.Clear();
}

void PutCrc(Bytes& form, std::size_t from, std::size_t count) {
    const std::uint16_t crc = fuzz::ReferenceCrc16(std::span(form).subspan(from, count));
    form[from + count] = static_cast<std::uint8_t>(crc & 0xFF);
    form[from + count + 1] = static_cast<std::uint8_t>(crc >> 8);
}

// --- CFG1 -----------------------------------------------------------------------------

Bytes Cfg1Form(const Bytes& table, std::uint8_t limit, std::uint8_t flags) {
    Bytes form(65, 0);
    form[0] = 64;
    std::copy(table.begin(), table.end(), form.begin() + 1);
    form[37] = limit;
    form[38] = flags;
    return form;
}

void TakeCfg1(std::span<const std::uint8_t> form, std::uint8_t startLimit, bool startAlarm,
              platform::ScriptedMessageBoxes& boxes) {
    const clsUnitConfigBase base(3);
    clsUnitConfig1 config(base);
    config.SetAutoSpeedLimit(startLimit);
    config.SetAutoPlayAlarmNo(startAlarm);
    const int error = Cfg1Error(form);
    FUZZ_REQUIRE(config.SetMyByteArray(form) == (error == 0));
    CheckBoxes(boxes, "CFG1", error);
    if (error != 0) {
        FUZZ_REQUIRE(config.AutoSpeedLimit() == startLimit &&
                     config.AutoPlayAlarmNo() == startAlarm);
        return;
    }
    FUZZ_REQUIRE(config.AutoSpeedLimit() == form[37]);
    FUZZ_REQUIRE(config.AutoPlayAlarmNo() == ((form[38] & 1) != 0));
    // The flags byte is kept whole: it renders back as it came.
    const Bytes rendered = config.MyByteArray();
    FUZZ_REQUIRE(rendered == Cfg1Form(base.SecurityTable(), form[37], form[38]));
    clsUnitConfig1 again(base);
    FUZZ_REQUIRE(again.SetMyByteArray(rendered));
    FUZZ_REQUIRE(again.MyByteArray() == rendered);
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
    Bytes form(33, 0);
    form[0] = 32;
    form[1] = 17;
    form[2] = 1;
    std::copy(tenCharacters.begin(), tenCharacters.end(), form.begin() + 3);
    PutCrc(form, 3, 10);
    form[15] = option;
    PutCrc(form, 1, 15);
    return form;
}

// The identity as the form holds it: right-padded with spaces to ten
// characters, or the last ten of a longer one.
std::string TenCharacters(std::string id) {
    if (id.size() < 10) {
        id.append(10 - id.size(), ' ');
    }
    return id.substr(id.size() - 10);
}

void TakeCfg2(std::span<const std::uint8_t> form, const std::string& startId,
              std::uint8_t startOption, platform::ScriptedMessageBoxes& boxes) {
    clsUnitConfig2 config;
    config.SetUnitID(startId);
    config.SetUnitSystemOption(startOption);
    const int error = Cfg2Error(form);
    FUZZ_REQUIRE(config.SetMyByteArray(form) == (error == 0));
    CheckBoxes(boxes, "CFG2", error);
    if (error != 0) {
        FUZZ_REQUIRE(config.UnitID() == startId && config.UnitSystemOption() == startOption);
        return;
    }
    const std::string id(form.begin() + 3, form.begin() + 13);
    FUZZ_REQUIRE(config.UnitID() == id);
    FUZZ_REQUIRE(config.UnitSystemOption() == form[15]);
    FUZZ_REQUIRE(config.AutoPlayAlarmNo() == ((form[15] & 1) != 0));
    const Bytes rendered = config.MyByteArray();
    FUZZ_REQUIRE(rendered == Cfg2Form(id, form[15]));
    clsUnitConfig2 again;
    FUZZ_REQUIRE(again.SetMyByteArray(rendered));
    FUZZ_REQUIRE(again.UnitID() == id && again.UnitSystemOption() == form[15]);
    FUZZ_REQUIRE(boxes.Boxes().empty());
}

void RenderCfg2(fuzz::ByteReader& in) {
    clsUnitConfig2 config;
    const std::uint8_t option = in.Byte();
    const bool alarmSwitch = (option & 0x80) != 0;
    config.SetUnitSystemOption(option);
    if (alarmSwitch) {
        config.SetAutoPlayAlarmNo((in.Byte() & 1) != 0);
    }
    const std::string id = fuzz::AsText(in.Bytes(in.Byte() % 32));
    config.SetUnitID(id);
    std::uint8_t expectedOption = option;
    if (alarmSwitch) {
        expectedOption = config.AutoPlayAlarmNo() ? (option | 1) : (option & 0xFE);
    }
    FUZZ_REQUIRE(config.UnitSystemOption() == expectedOption);
    const Bytes rendered = config.MyByteArray();
    FUZZ_REQUIRE(rendered == Cfg2Form(TenCharacters(id), expectedOption));
    clsUnitConfig2 back;
    FUZZ_REQUIRE(back.SetMyByteArray(rendered));
    FUZZ_REQUIRE(back.UnitID() == TenCharacters(id));
    FUZZ_REQUIRE(back.UnitSystemOption() == expectedOption);
}

// --- CFG3 -----------------------------------------------------------------------------

struct Cfg3Values {
    std::uint8_t mode;
    std::uint8_t mute;
    std::uint8_t alarm;
    std::uint8_t limit;
    bool operator==(const Cfg3Values&) const = default;
};

Cfg3Values ValuesOf(const clsUnitConfig3& c) {
    return {c.UserOptionMode(), c.UserSpeedMute(), c.AlarmSpeedOverride(), c.SpeedLimitOverride()};
}

Bytes Cfg3Form(const Cfg3Values& v) {
    Bytes form(17, 0);
    form[0] = 16;
    form[1] = 8;
    form[2] = 1;
    form[3] = v.mode;
    form[4] = v.mute;
    form[5] = v.alarm;
    form[6] = v.limit;
    PutCrc(form, 1, 6);
    return form;
}

// The eight options, in bit order: how each is read and set.
struct OptionAccess {
    bool (clsUnitConfig3::*get)() const;
    void (clsUnitConfig3::*set)(bool);
};
constexpr std::array<OptionAccess, 8> kOptions{{
    {&clsUnitConfig3::UserOptionMode_AlarmSpeedCheckEnable,
     &clsUnitConfig3::SetUserOptionMode_AlarmSpeedCheckEnable},
    {&clsUnitConfig3::UserOptionMode_AlarmNormalEnable,
     &clsUnitConfig3::SetUserOptionMode_AlarmNormalEnable},
    {&clsUnitConfig3::UnitUserOptionMode_AlarmSpeedTracking,
     &clsUnitConfig3::SetUnitUserOptionMode_AlarmSpeedTracking},
    {&clsUnitConfig3::UnitUserOptionMode_AlarmSpeedMute,
     &clsUnitConfig3::SetUnitUserOptionMode_AlarmSpeedMute},
    {&clsUnitConfig3::UnitUserOptionMode_WarningEnable,
     &clsUnitConfig3::SetUnitUserOptionMode_WarningEnable},
    {&clsUnitConfig3::UnitUserOptionMode_ServiceEnable,
     &clsUnitConfig3::SetUnitUserOptionMode_ServiceEnable},
    {&clsUnitConfig3::UnitUserOptionMode_AutoSpeedLimitEnable,
     &clsUnitConfig3::SetUnitUserOptionMode_AutoSpeedLimitEnable},
    {&clsUnitConfig3::UserOption_DemoPlayEnable, &clsUnitConfig3::SetUserOption_DemoPlayEnable},
}};

void TakeCfg3(std::span<const std::uint8_t> form, platform::ScriptedMessageBoxes& boxes) {
    clsUnitConfig3 config;
    const Cfg3Values start = ValuesOf(config);
    const int error = Cfg3Error(form);
    FUZZ_REQUIRE(config.TakeByteForm(form) == (error == 0));
    CheckBoxes(boxes, "CFG3", error);
    if (error != 0) {
        FUZZ_REQUIRE(ValuesOf(config) == start);
        return;
    }
    const Cfg3Values values{form[3], form[4], form[5], form[6]};
    FUZZ_REQUIRE(ValuesOf(config) == values);
    for (int bit = 0; bit < 8; ++bit) {
        FUZZ_REQUIRE((config.*kOptions[bit].get)() == ((form[3] >> bit) & 1));
    }
    const Bytes rendered = config.RenderByteForm();
    FUZZ_REQUIRE(rendered == Cfg3Form(values));
    clsUnitConfig3 again;
    FUZZ_REQUIRE(again.TakeByteForm(rendered));
    FUZZ_REQUIRE(ValuesOf(again) == values);
    FUZZ_REQUIRE(again.UserOptionVersion() == 1);
}

void RenderCfg3(fuzz::ByteReader& in) {
    clsUnitConfig3 config;
    Cfg3Values model{0xFE, 40, 2, 2};  // the defaults
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
        model.mode = value ? static_cast<std::uint8_t>(model.mode | (1u << bit))
                           : static_cast<std::uint8_t>(model.mode & ~(1u << bit));
        FUZZ_REQUIRE(ValuesOf(config) == model);
    }
    const Bytes rendered = config.RenderByteForm();
    FUZZ_REQUIRE(rendered == Cfg3Form(model));
    clsUnitConfig3 back;
    back.SetUserSpeedMute(0);
    FUZZ_REQUIRE(back.TakeByteForm(rendered));
    FUZZ_REQUIRE(ValuesOf(back) == model);
    back.SetDefaultValue();
    FUZZ_REQUIRE(ValuesOf(back) == (Cfg3Values{0xFE, 40, 2, 2}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::PrepareTables();
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes scope(boxes);
    fuzz::ByteReader in(data, size);
    const std::uint8_t selector = in.Byte();
    switch (selector % 6) {
        case 0:
        case 1:
        case 2: {
            // A byte form. Two bytes first give the fields the table holds
            // before it, so that a refused form visibly changes nothing.
            const std::uint8_t startA = in.Byte();
            const std::uint8_t startB = in.Byte();
            const Bytes form = in.Rest();
            if (selector % 6 == 0) {
                TakeCfg1(form, startA, (startB & 1) != 0, boxes);
            } else if (selector % 6 == 1) {
                TakeCfg2(form, std::string(startA % 12, 'Q'), startB, boxes);
            } else {
                TakeCfg3(form, boxes);
            }
            break;
        }
        case 3:
            RenderCfg1(in);
            break;
        case 4:
            RenderCfg2(in);
            break;
        default:
            RenderCfg3(in);
            break;
    }
    return 0;
}
