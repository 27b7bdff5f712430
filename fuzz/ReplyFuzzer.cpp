// Fuzz target: one binary request through the command layer, and a reply
// frame judged against it.
//
// Input: a command code (from the catalogue, or any value), flags, the link
// random index, the status bits the stage requires, the address, data and
// read size of the request, optionally a request sent before it (whose retry
// count a resend carries over); then up to three reply frames with their
// lengths, and the rest: the reply frame, judged as it is and then once more
// sealed (taken as the unscrambled frame, scrambled with the run's link table
// and given a correct CRC), so that the fuzzer reaches the echo and status
// checks instead of stopping at the CRC. All of them are judged in order
// against the one request, as a stage judges a stray reply and then the real
// one; the record's status and kept payload are followed throughout.
//
// The request on the line is checked against the frame layout (head code,
// body per code, CRC) with the unit's own codec and CRC; the verdict
// against a judgement written from the reply rules, under which a Good verdict
// needs an intact CRC, the request's code echoed, a zero high status nibble
// and the required bits set.

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CommandCode.h"
#include "CommandLayerRig.h"
#include "CommandReply.h"
#include "FuzzSupport.h"
#include "UnitCodec.h"
#include "UnitCrc.h"
#include "clsCommandLayer.h"
#include "clsLinkUnit.h"
#include "mduGlobalModule.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

enum Flag : std::uint8_t {
    kTableKey = 0x01,     // head code straight from the random table (else rolling)
    kRetry = 0x02,        // a resend: carries the retry count over
    kPrevious = 0x08,     // another request goes out first
    kRawAddress = 0x10,   // any 32-bit address (else 24 bits)
    kLongData = 0x20,     // 256 to 511 data bytes (else 0 to 255)
    kRawCode = 0x40,      // any code value (else one from the catalogue)
    kRawReadSize = 0x80,  // any 32-bit read size (else 0 to 255)
};

using LayerRig = CommandLayerRig;

enum class Form { None, Plain, Table, Write, Read };

// The catalogue: each code's request form and the timing its record carries.
struct CodeRow {
    std::int32_t code;
    Form form;
    std::int32_t frameSpace;
    std::int32_t timeOut;
    std::int16_t fastResponse = -1;
};

constexpr std::array<CodeRow, 22> kCatalogue{{
    {0, Form::Table, 5, 2000},  {1, Form::Plain, 10, 300},  {2, Form::Plain, 10, -1},
    {4, Form::Plain, 10, 300},  {5, Form::Plain, 20, 300},  {6, Form::Plain, 20, 300},
    {7, Form::Plain, 20, 300},  {8, Form::Plain, 20, 300},  {9, Form::Table, 10, 300},
    {10, Form::Table, 10, 300}, {11, Form::Table, 10, 300}, {14, Form::Plain, 10, 55000},
    {15, Form::Table, 20, 300}, {41, Form::Plain, 20, 300}, {42, Form::Plain, 20, 300},
    {49, Form::Write, 10, 300}, {50, Form::Write, 5, 2000}, {51, Form::Write, 5, 2000, 4},
    {52, Form::Read, 20, 300},  {53, Form::Read, 20, 300},  {54, Form::Read, 20, 300},
    {55, Form::Read, 20, 300},
}};

// A code's row (of form None when the catalogue does not hold it).
const CodeRow& RowOf(std::int32_t code) {
    static constexpr CodeRow kNone{-1, Form::None, 0, 0};
    const auto row = std::find_if(kCatalogue.begin(), kCatalogue.end(),
                                  [code](const CodeRow& r) { return r.code == code; });
    return row == kCatalogue.end() ? kNone : *row;
}

// The data a table command carries, as the catalogue fills it.
Bytes TableData(LayerRig& rig, std::int32_t code) {
    const Bytes table = rig.random.SecurityTable();
    switch (code) {
        case 0:
            return table;
        case 9:
            return mduGlobalModule::GetFixedTable();
        case 10: {
            const std::string id = rig.config2.UnitID();
            const auto crc = sim::UnitCrc::Trailer(
                std::span(reinterpret_cast<const std::uint8_t*>(id.data()), id.size()));
            return Bytes(crc.begin(), crc.end());
        }
        case 11:
            return Bytes(table.begin() + 4, table.begin() + 8);
        case 15:
            return rig.base.ForceNullBytes();
        default:
            return {};
    }
}

// A plain frame as the unit sends it: scrambled with the run's link table,
// then closed by its CRC.
Bytes AsSent(const LayerRig& rig, const Bytes& plain) {
    Bytes frame = sim::UnitCodec::Apply(plain, rig.Table());
    const auto crc = sim::UnitCrc::Trailer(frame);
    frame.insert(frame.end(), crc.begin(), crc.end());
    return frame;
}

struct Request {
    std::int32_t code = 0;
    Bytes data;
    std::int32_t address = 0;
    std::int32_t size = 0;
    bool tableKey = true;
    bool retry = false;
};

// Whether the builder can encode the request at all.
bool Encodable(const Request& r) {
    const bool addressOk = r.address >= 0 && r.address <= 0xFFFFFF;
    switch (RowOf(r.code).form) {
        case Form::None:
            return false;
        case Form::Write:
            return addressOk && !r.data.empty() && r.data.size() <= 255;
        case Form::Read:
            return addressOk && r.size >= 0 && r.size <= 255;
        default:
            return true;
    }
}

// The head code and the code, then for a write or read the 24-bit address
// and the length or read size, then the data a write or table command carries.
Bytes ExpectedPlain(LayerRig& rig, const Request& r, std::uint8_t head) {
    const Form form = RowOf(r.code).form;
    Bytes body{head, static_cast<std::uint8_t>(r.code)};
    if (form == Form::Write || form == Form::Read) {
        const std::size_t length =
            form == Form::Write ? r.data.size() : static_cast<std::size_t>(r.size);
        body.insert(
            body.end(),
            {static_cast<std::uint8_t>(r.address >> 16), static_cast<std::uint8_t>(r.address >> 8),
             static_cast<std::uint8_t>(r.address), static_cast<std::uint8_t>(length)});
    }
    const Bytes data = form == Form::Table   ? TableData(rig, r.code)
                       : form == Form::Write ? r.data
                                             : Bytes{};
    body.insert(body.end(), data.begin(), data.end());
    return body;
}

// Sends one request and holds what went on the line against the layout.
void SendAndCheck(LayerRig& rig, const Request& r, std::optional<std::int16_t> carried) {
    const std::size_t writesBefore = rig.line.Writes().size();
    const std::size_t boxesBefore = rig.boxes.Boxes().size();
    const std::uint8_t index = rig.random.RandomInex();
    const bool sent =
        rig.layer.AutoSendMessageToUnit(r.code, r.data, r.address, r.size, r.tableKey, r.retry);
    FUZZ_REQUIRE(sent == Encodable(r));
    if (!sent) {
        FUZZ_REQUIRE(rig.line.Writes().size() == writesBefore);
        FUZZ_REQUIRE(rig.random.RandomInex() == index);
        // A catalogued code that cannot be encoded is a builder fault shown at
        // once; any other code is simply not a command.
        const Form form = RowOf(r.code).form;
        FUZZ_REQUIRE((rig.boxes.Boxes().size() > boxesBefore) == (form != Form::None));
        const bool badReadSize = form == Form::Read && (r.size < 0 || r.size > 255);
        FUZZ_REQUIRE(rig.layer.CurrentLinkUnit() == nullptr ||
                     (form != Form::None && !badReadSize));
        return;
    }
    FUZZ_REQUIRE(rig.boxes.Boxes().size() == boxesBefore);
    FUZZ_REQUIRE(rig.random.RandomInex() == static_cast<std::uint8_t>(index + 1));
    FUZZ_REQUIRE(rig.line.Writes().size() == writesBefore + 1);
    const Bytes& frame = rig.line.Writes().back();
    FUZZ_REQUIRE(sim::UnitCrc::Intact(frame));
    FUZZ_REQUIRE(rig.image.text == clsCommandLayer::HostImageText(frame, true));

    std::uint8_t head = rig.random.CurrentRandomByteData(index);
    if (!r.tableKey) {
        head = static_cast<std::uint8_t>(mduGlobalModule::SwapNibbles(head) ^ head);
        FUZZ_REQUIRE(sim::UnitCodec::IsRollingHead(head));
    }
    const Bytes expected = ExpectedPlain(rig, r, head);
    const Bytes plain =
        sim::UnitCodec::Apply(std::span(frame).first(frame.size() - 2), rig.Table());
    FUZZ_REQUIRE(plain == expected);

    const clsLinkUnit* record = rig.layer.CurrentLinkUnit();
    FUZZ_REQUIRE(record != nullptr && record->SubGroupTypeCode() == r.code);
    const CodeRow& timing = RowOf(r.code);
    FUZZ_REQUIRE(record->FrameSpaceInterval() == timing.frameSpace);
    FUZZ_REQUIRE(record->TimeOutInterval() == timing.timeOut);
    FUZZ_REQUIRE(record->FastResponseLength() == timing.fastResponse);
    // A new request starts its count at 0; a resend keeps the count of the
    // request it replaces (or -1 when there was none).
    const std::int16_t count = r.retry ? carried.value_or(-1) : 0;
    FUZZ_REQUIRE(record->RetryCounter() == count);
}

// What the current record holds of the replies judged against it so far.
struct RecordState {
    std::uint8_t status = 0;
    Bytes payload;
};

CommandReply Judge(const Bytes& received, const LayerRig& rig, std::int32_t code, bool haveRecord,
                   std::uint8_t required, RecordState& record) {
    using enum ReplyVerdict;
    CommandReply e;
    e.verdict = received.empty()                  ? NoFrame
                : !sim::UnitCrc::Intact(received) ? BadCrc
                : !haveRecord                     ? NoRequest
                                                  : Short;
    if (e.verdict == Short) {
        e.plain = sim::UnitCodec::Apply(received, rig.Table());
    }
    if (e.plain.size() < 5) {
        return e;
    }
    record.status = e.status = e.plain[2];
    const std::uint8_t s = e.status;
    e.verdict = e.plain[1] != code           ? ForeignEcho
                : (s & 0xF0) != 0            ? Refused
                : (s & required) != required ? MissingBits
                                             : Good;
    // An accepted answer to the record's own code keeps the bytes between
    // the status byte and the CRC, whatever bits the stage requires; a good
    // one carries them as its payload (none for five bytes, whatever an
    // earlier reply to the same request carried).
    const Bytes between(e.plain.begin() + 3, e.plain.end() - 2);
    if ((e.verdict == MissingBits || e.verdict == Good) && !between.empty()) {
        record.payload = between;
    }
    e.payload = e.verdict == Good ? between : Bytes{};
    return e;
}

void JudgeAndCheck(LayerRig& rig, const Bytes& received, std::int32_t code, bool haveRecord,
                   std::uint8_t required, RecordState& state) {
    using enum ReplyVerdict;
    const CommandReply reply = rig.layer.JudgeReply(received, required);
    const CommandReply expected = Judge(received, rig, code, haveRecord, required, state);
    FUZZ_REQUIRE(reply.verdict == expected.verdict && reply.status == expected.status);
    FUZZ_REQUIRE(reply.plain == expected.plain && reply.payload == expected.payload);
    if (const clsLinkUnit* record = rig.layer.CurrentLinkUnit()) {
        FUZZ_REQUIRE(record->CheckStatus() == state.status);
        FUZZ_REQUIRE(record->UnitResponseData() == state.payload);
        FUZZ_REQUIRE(record->RecheckData() == state.payload);
        const std::uint8_t s = state.status;
        FUZZ_REQUIRE(rig.layer.CheckUnitStatus(required, false) == ((s & required) == required));
        FUZZ_REQUIRE(rig.layer.CheckUnitStatus(required, true) ==
                     ((s & 0xF0) == 0 && (s & required) == required));
        // The record's own result for the plain reply: its refusal bits, 0
        // for a five-byte answer it takes, else 0xF0.
        clsLinkUnit fresh;
        fresh.SetSubGroupTypeCode(code);
        const bool taken = expected.verdict == Good || expected.verdict == MissingBits;
        FUZZ_REQUIRE(fresh.CheckUnitResponsePackage(expected.plain) ==
                     (expected.verdict == Refused           ? (expected.status & 0xF0)
                      : taken && expected.plain.size() == 5 ? 0
                                                            : 0xF0));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::PrepareTables();
    fuzz::ByteReader in(data, size);
    LayerRig rig;

    const std::uint8_t codeByte = in.Byte();
    const std::uint8_t flags = in.Byte();
    rig.random.SetRandomInex(in.Byte());
    const std::uint8_t required = in.Byte();
    Request request;
    request.code =
        (flags & kRawCode) != 0 ? codeByte : kCatalogue[codeByte % kCatalogue.size()].code;
    request.tableKey = (flags & kTableKey) != 0;
    request.retry = (flags & kRetry) != 0;
    const std::uint32_t addressMask = (flags & kRawAddress) != 0 ? 0xFFFFFFFF : 0xFFFFFF;
    request.address = static_cast<std::int32_t>(in.Uint32() & addressMask);
    const std::size_t length = in.Byte() + ((flags & kLongData) != 0 ? 256u : 0u);
    request.size = static_cast<std::int32_t>((flags & kRawReadSize) != 0 ? in.Uint32() : in.Byte());
    request.data = in.Bytes(length);
    request.data.resize(length, 0);
    // SSecu1 carries the CRC of the unit identity: let the data be the identity.
    rig.config2.SetUnitID(fuzz::AsText(request.data));

    std::optional<std::int16_t> carried;  // the retry count of a request sent before
    if ((flags & kPrevious) != 0) {
        Request previous;
        previous.code = kCatalogue[in.Byte() % kCatalogue.size()].code;
        previous.data = Bytes(8, 0x5A);
        const auto count = static_cast<std::int8_t>(in.Byte());
        SendAndCheck(rig, previous, std::nullopt);
        rig.clock.AdvanceBy(60000);  // the driver's cycle ends (time-out or sent)
        if (previous.code == ToInt(CommandCode::RST)) {
            // A request without a reply leaves the driver's cycle open until
            // the next state change, as the closing stage's hellos make it.
            FUZZ_REQUIRE(rig.layer.SetCommState(1));
        }
        if (clsLinkUnit* record = rig.layer.CurrentLinkUnit()) {
            record->SetRetryCounter(count);
            carried = count;
        }
    }
    SendAndCheck(rig, request, carried);

    // The replies judged against the request, in order: up to three frames
    // first (as later frames of a sequence may be stray replies), then the
    // rest of the input as it is and once more sealed.
    const bool haveRecord = rig.layer.CurrentLinkUnit() != nullptr;
    std::vector<Bytes> frames;
    const std::uint8_t framing = in.Byte();
    for (int n = 0; n < (framing & 3); ++n) {
        Bytes frame = in.Bytes(in.Byte() % 48);
        if (((framing >> (2 + n)) & 1) != 0 && !frame.empty()) {
            frame = AsSent(rig, frame);
        }
        frames.push_back(std::move(frame));
    }
    const Bytes rest = in.Rest();
    frames.push_back(rest);
    if (!rest.empty()) {
        frames.push_back(AsSent(rig, rest));
    }
    RecordState state;
    for (const Bytes& received : frames) {
        JudgeAndCheck(rig, received, request.code, haveRecord, required, state);
    }
    return 0;
}
