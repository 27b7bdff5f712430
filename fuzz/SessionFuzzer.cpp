// Fuzz target: a whole run of the update sequence in virtual time, with the
// fuzzer deciding what happens to every answer of the unit.
//
// The real sequence runs on the headless window, the in-memory line and the
// simulated unit, with a small data file (25 flash blocks, 3 parameter
// blocks). Between the unit and the line sits a peer that, for each
// transmission of the unit, takes the next input bytes to pass it, drop it,
// delay it (up to past the longest time-out of the host), corrupt bytes in it,
// cut it short, send it twice, or replace it with bytes of the input (as they
// are, or sealed as a well-formed frame or sentence). Message boxes take the
// next byte too: the answer to a question and how long the operator leaves
// the box open (the clock runs meanwhile, as a modal box lets events in).
// An input that has run out passes everything and answers OK at once.
//
// An update may instead run on a lossy line (bit 7 of byte 0), where the
// host's requests may be lost or damaged as well, but the unit's answers
// keep their order and damage to them is always detectable (see
// MeddlingPeer): that line tests the transfer's defence against stray
// replies taken for the answer to a block the unit never received.
//
// Input: byte 0 picks the run (update, connection test, scan), the line and
// the unit (its data version against the file's, record reports, program
// version); the rest is read as above, in the order things happen.
//
// Oracles (abort on violation):
// - the run ends, back in idle with no run active, within 30 virtual minutes,
//   and nothing happens after it has ended;
// - an update that succeeds leaves every block of the file in the unit;
// - an update the operator cancelled never succeeds; neither it nor one for
//   a program version the file does not accept (unless a forged answer
//   claimed another) erases the unit;
// - on an untouched line with a sound unit every run succeeds;
// - a run that fails says so in red (an update also with a red lamp), one
//   that succeeds ends with its success text (an update with no red lamp).

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "HeadlessWindow.h"
#include "IRunObserver.h"
#include "ISerialPeer.h"
#include "MemorySerialLine.h"
#include "PackedDataFile.h"
#include "ProgramMessageBoxes.h"
#include "SimulatedUnit.h"
#include "UnitCodec.h"
#include "UnitCrc.h"
#include "UnitSentence.h"
#include "VirtualClock.h"
#include "WorkPageEvent.h"
#include "clsUpdateSequence.h"
#include "mduDisplayText.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kRunLimitMs = 30 * 60 * 1000;
constexpr std::uint64_t kSeed = 11;
constexpr std::size_t kFlashBytes = 224 * 24 + 50;    // 25 blocks
constexpr std::size_t kParameterBytes = 64 * 2 + 20;  // 3 blocks
constexpr std::size_t kUnitFlashSize = 16 * 1024;
constexpr std::size_t kUnitParameterSize = 1024;
constexpr std::uint8_t kNeverErased = 0x00;  // the unit's memories before any erase

// Delays around every reply time-out of the host (300 ms sentences and short
// commands, 2 s writes and Attach, 55 s erase), in milliseconds.
constexpr std::array<std::int64_t, 32> kDelaysMs{
    0,    1,    4,    15,   25,    100,   250,   290,   299,   300,   301,
    310,  500,  990,  1000, 1010,  1500,  1990,  2000,  2001,  2010,  2500,
    3000, 4500, 6000, 9000, 20000, 41000, 54990, 55010, 70000, 600000};

// How long the operator leaves a box open.
constexpr std::array<std::int64_t, 4> kBoxOpenMs{0, 300, 2500, 45000};

// The data file, packed once.
const PackedDataFile& Data() {
    static const PackedDataFile data(kFlashBytes, kParameterBytes, "0601", kSeed);
    FUZZ_REQUIRE(data.FlashBlocks() == 25 && data.ParameterBlocks() == 3);
    return data;
}

bool UnitErased(const sim::SimulatedUnit& unit) {
    // The last byte of the flash lies beyond the file's data: it changes only
    // by an erase.
    return unit.FlashImage().Read(kUnitFlashSize - 1, 1) != Bytes{kNeverErased};
}

// --- The line between the unit and the host ------------------------------------------------

// Wraps the unit; every transmission of the unit goes through Apply.
//
// Two kinds of line. The meddling line touches only the unit's answers, and
// every one on its own: a delayed answer or a late copy may overtake later
// ones, and an answer may be replaced by anything, a forged one included.
// Every request reaches the unit, so whatever the host is told, the unit has
// been sent each block it counts as written.
//
// The lossy line is a real cable at its worst: requests of the host may be
// lost or damaged too, while the unit's answers keep their order (a delay
// holds back everything after it) and damage to them never goes unnoticed
// (no copies, no forgeries, no noise that passes a CRC). On it a block the
// host counts as written must really be in the unit.
class MeddlingPeer final : public platform::ISerialPeer {
  public:
    MeddlingPeer(sim::SimulatedUnit& unit, fuzz::ByteReader& in, bool lossy)
        : unit_(unit), in_(in), lossy_(lossy) {}

    void OnHostBytes(std::span<const std::uint8_t> bytes, int hostBaud,
                     std::int64_t nowUs) override {
        Bytes sent(bytes.begin(), bytes.end());
        if (hostPasses_ > 0 || !lossy_ || in_.Empty()) {
            hostPasses_ -= hostPasses_ > 0 ? 1 : 0;
        } else if (const std::uint8_t op = in_.Byte(); (op & 3) == 0) {
            hostPasses_ = op >> 2;   // pass this one and the next `op >> 2`
        } else if ((op & 3) == 1) {  // lost
            meddled_ = true;
            return;
        } else if ((op & 3) == 2) {  // one byte damaged
            meddled_ = true;
            if (!sent.empty()) {
                const std::uint8_t mask = in_.Byte();
                sent[(op >> 2) % sent.size()] ^= mask == 0 ? 0x01 : mask;
            }
        }
        unit_.OnHostBytes(sent, hostBaud, nowUs);
    }

    std::int64_t NextDueUs() const override {
        std::int64_t due = unit_.NextDueUs();
        for (const Queued& q : queued_) {
            due = due < 0 ? q.dueUs : std::min(due, q.dueUs);
        }
        return due;
    }

    std::vector<Transmission> Poll(std::int64_t nowUs) override {
        const std::int64_t unitDue = unit_.NextDueUs();
        if (unitDue >= 0 && unitDue <= nowUs) {
            for (Transmission& tx : unit_.Poll(nowUs)) {
                Apply(std::move(tx), nowUs);
            }
        }
        // Everything due now, in the order it was queued for its time.
        std::stable_sort(queued_.begin(), queued_.end(),
                         [](const Queued& a, const Queued& b) { return a.dueUs < b.dueUs; });
        std::vector<Transmission> out;
        auto it = queued_.begin();
        while (it != queued_.end() && it->dueUs <= nowUs) {
            out.push_back(std::move(it->tx));
            ++it;
        }
        queued_.erase(queued_.begin(), it);
        return out;
    }

    bool Connected() const override { return unit_.Connected(); }

    // Whether anything on the line was changed in any way.
    bool Meddled() const { return meddled_; }
    // Whether an answer was replaced by input bytes (which may forge any).
    bool Replaced() const { return replaced_; }

  private:
    struct Queued {
        std::int64_t dueUs;
        Transmission tx;
    };

    void Queue(std::int64_t dueUs, Transmission tx) {
        if (lossy_) {
            // A cable keeps the order: nothing overtakes a held-back answer.
            dueUs = std::max(dueUs, lastDueUs_);
            lastDueUs_ = dueUs;
        }
        queued_.push_back({dueUs, std::move(tx)});
    }

    // On the lossy line damage to a frame is always noticed: a frame that
    // still ends in its own CRC gets one more bit wrong.
    void Noticeable(Transmission& tx) const {
        if (lossy_ && tx.baud == sim::SimulatedUnit::kBinaryBaud &&
            sim::UnitCrc::Intact(tx.bytes)) {
            tx.bytes.back() ^= 0x01;
        }
    }

    void Apply(Transmission tx, std::int64_t nowUs) {
        if (in_.Empty() || passes_ > 0) {
            passes_ -= passes_ > 0 ? 1 : 0;
            Queue(nowUs, std::move(tx));
            return;
        }
        const std::uint8_t op = in_.Byte();
        const int param = op >> 3;
        int kind = op & 7;
        if (lossy_ && (kind == 5 || kind == 7)) {
            kind = kind == 5 ? 2 : 1;  // no copies (held back instead), no forgeries (lost instead)
        }
        meddled_ |= kind != 0;
        replaced_ |= kind >= 6;
        const std::int64_t laterUs = nowUs + kDelaysMs[param] * 1000;
        switch (kind) {
            case 0:  // pass this one and the next `param`
                passes_ = param;
                break;
            case 1:  // drop
                return;
            case 2:  // delay
                Queue(laterUs, std::move(tx));
                return;
            case 3:  // corrupt 1 to 4 bytes
                for (int n = 1 + param % 4; n > 0 && !tx.bytes.empty(); --n) {
                    const std::size_t at = in_.Byte() % tx.bytes.size();
                    const std::uint8_t mask = in_.Byte();
                    tx.bytes[at] ^= mask == 0 ? 0x01 : mask;
                }
                Noticeable(tx);
                break;
            case 4:  // cut short
                tx.bytes.resize(
                    tx.bytes.empty() ? 0 : static_cast<std::size_t>(param) % tx.bytes.size());
                Noticeable(tx);
                break;
            case 5:  // twice, the copy after a delay
                Queue(nowUs, tx);
                Queue(laterUs, std::move(tx));
                return;
            case 6:  // replaced by input bytes as they are
                tx.bytes = in_.Bytes(static_cast<std::size_t>(param));
                Noticeable(tx);
                break;
            default:  // replaced by input bytes made into a well-formed answer
                tx.bytes = Sealed(in_.Bytes(static_cast<std::size_t>(param)), tx.baud);
                break;
        }
        Queue(nowUs, std::move(tx));
    }

    // At the unit's binary speed: the bytes as an unscrambled frame,
    // scrambled with the unit's link table and closed by their CRC. At the
    // text speed: the bytes as a sentence body with its check digits.
    Bytes Sealed(const Bytes& content, int baud) const {
        if (baud == sim::SimulatedUnit::kBinaryBaud) {
            if (content.empty()) {
                return {};
            }
            const sim::UnitCodec::LinkTable table =
                unit_.HasLinkTable() ? unit_.LinkTable() : sim::UnitCodec::LinkTable{};
            Bytes frame = sim::UnitCodec::Apply(content, table);
            const auto crc = sim::UnitCrc::Trailer(frame);
            frame.insert(frame.end(), crc.begin(), crc.end());
            return frame;
        }
        return sim::UnitSentence::Build(fuzz::AsText(content));
    }

    sim::SimulatedUnit& unit_;
    fuzz::ByteReader& in_;
    const bool lossy_;
    std::vector<Queued> queued_;
    std::int64_t lastDueUs_ = 0;
    int passes_ = 0;
    int hostPasses_ = 0;
    bool meddled_ = false;
    bool replaced_ = false;
};

// --- The operator ------------------------------------------------------------------------

class Operator final : public platform::IMessageBoxes {
  public:
    Operator(platform::VirtualClock& clock, fuzz::ByteReader& in) : clock_(clock), in_(in) {}

    platform::MsgResult Show(const std::string& /*text*/, platform::MsgButtons buttons,
                             platform::MsgIcon /*icon*/) override {
        using enum platform::MsgResult;
        ++shown_;
        const std::uint8_t choice = in_.Byte(0x01);  // out of input: OK at once
        const bool yes = (choice & 1) != 0;
        declined_ |= !yes && buttons != platform::MsgButtons::Ok;
        const std::int64_t openMs = kBoxOpenMs[(choice >> 1) & 3];
        if (openMs > 0 && depth_ < 2) {
            // A modal box: timers and the driver go on while it is open.
            ++depth_;
            clock_.AdvanceBy(openMs);
            --depth_;
        }
        return buttons == platform::MsgButtons::OkCancel ? (yes ? Ok : Cancel)
               : buttons == platform::MsgButtons::YesNo  ? (yes ? Yes : No)
                                                         : Ok;
    }

    std::size_t Shown() const { return shown_; }
    bool Declined() const { return declined_; }

  private:
    platform::VirtualClock& clock_;
    fuzz::ByteReader& in_;
    int depth_ = 0;
    bool declined_ = false;
    std::size_t shown_ = 0;
};

class RunWatch final : public IRunObserver {
  public:
    void OnRunEnded(const RunFacts& run) override {
        ++ended;
        last = run;
    }
    int ended = 0;
    RunFacts last;
};

// --- One run ---------------------------------------------------------------------------

struct Scenario {
    std::int32_t button = kEventDownLoadStart;
    bool lossy = false;  // the lossy line instead of the meddling one
    sim::UnitConfig unit;
    bool soundUnit = true;  // program accepted, memory check passes
};

Scenario ReadScenario(std::uint8_t s) {
    static const std::array<const char*, 4> kVersions{"0512", "0601", "0700", "0512"};
    const bool update = (s & 3) != 3;  // else a connection test or a scan
    Scenario scenario{.button = update            ? kEventDownLoadStart
                                : (s & 0x80) != 0 ? kEventHelloDevice
                                                  : kEventAutoPortScan,
                      .lossy = update && (s & 0x80) != 0,
                      .unit = {},
                      .soundUnit = (s & 0x60) == 0};
    sim::UnitConfig& unit = scenario.unit;
    unit.dataVersion = kVersions[(s >> 2) & 3];
    unit.recordReport = (s & 0x10) != 0 ? 0x0C : 0x00;
    unit.finalReport = (s & 0x20) != 0 ? 0x08 : 0x00;
    unit.programVersion = (s & 0x40) != 0 ? "GPSP09.9999" : "GPSP01.2000";
    unit.eraseMs = 2000;
    unit.checkMs = 3000;
    unit.flashSize = kUnitFlashSize;
    unit.parameterSize = kUnitParameterSize;
    unit.initialFill = kNeverErased;
    unit.seed = kSeed;
    unit.keepLog = false;
    return scenario;
}

// What the operator is shown at the end: a failed or cancelled run says so
// in red (and, for an update, with a red lamp); a successful one ends with
// its success text, and an update with its last lamp green and none red.
void CheckDisplays(const HeadlessWindow& window, std::size_t before, RunOutcome outcome,
                   bool update) {
    constexpr int kSuccessText = 1;
    constexpr int kErrorText = 2;
    constexpr int kFinalCheckLamp = 19;
    const std::vector<HeadlessWindow::Message>& messages = window.Messages();
    FUZZ_REQUIRE(messages.size() > before);
    // The one failure the connect stage reports without its lamp: a third
    // garbled reply to the hello (it leaves lamp 0 busy, as the stage is
    // described; see the report of this target's runs).
    bool anyRed = false;
    bool onlyConnectBusy = window.Lamp(0) == mduDisplayText::LampBusy;
    for (int lamp = 0; lamp < mduDisplayText::LampCount; ++lamp) {
        anyRed |= window.Lamp(lamp) == mduDisplayText::LampFailed;
        onlyConnectBusy &= lamp == 0 || window.Lamp(lamp) == mduDisplayText::LampIdle;
    }
    if (outcome == RunOutcome::Succeeded) {
        FUZZ_REQUIRE(messages.back().kind == kSuccessText);
        FUZZ_REQUIRE(!update ||
                     (!anyRed && window.Lamp(kFinalCheckLamp) == mduDisplayText::LampDone));
    } else {
        FUZZ_REQUIRE(
            std::any_of(messages.begin() + static_cast<std::ptrdiff_t>(before), messages.end(),
                        [](const HeadlessWindow::Message& m) { return m.kind == kErrorText; }));
        FUZZ_REQUIRE(!update || anyRed || onlyConnectBusy);
    }
}

void RunOne(const std::uint8_t* data, std::size_t size) {
    fuzz::ByteReader in(data, size);
    const Scenario scenario = ReadScenario(in.Byte());
    const bool update = scenario.button == kEventDownLoadStart;

    platform::VirtualClock clock;
    Operator boxes(clock, in);
    platform::ScopedProgramMessageBoxes programBoxes(boxes);
    platform::MemorySerialLine line(clock);
    sim::SimulatedUnit unit(scenario.unit);
    MeddlingPeer peer(unit, in, scenario.lossy);
    line.AttachPeer(&peer);
    RunWatch watch;
    {
        HeadlessWindow window(clock, line, boxes, kSeed);
        window.SetFileName(Data().Path());
        window.Sequence().SetObserver(&watch);
        window.Start(1);
        FUZZ_REQUIRE(
            clock.RunUntil([&] { return !window.WorkingBusy() && window.WorkState() == 0; }, 100));
        clock.AdvanceBy(30);
        const std::size_t before = window.Messages().size();
        window.Press(scenario.button);
        FUZZ_REQUIRE(watch.ended == 0 || !update);  // a test or scan may end at once
        if (!clock.RunUntil([&] { return watch.ended > 0; }, kRunLimitMs)) {
            std::fprintf(stderr, "run still in state %d after %lld ms\n", window.WorkState(),
                         static_cast<long long>(kRunLimitMs));
        }
        const auto endedOnce = [&] {
            FUZZ_REQUIRE(watch.ended == 1);
            FUZZ_REQUIRE(window.WorkState() == 0);
            FUZZ_REQUIRE(window.Sequence().CurrentRun() == RunKind::None);
        };
        endedOnce();
        FUZZ_REQUIRE(watch.last.outcome != RunOutcome::None);
        CheckDisplays(window, before, watch.last.outcome, update);

        // Once ended, the run stays ended: idle's entry gives the controls
        // back and nothing else happens, whatever is still on the line.
        const std::size_t messages = window.Messages().size();
        const std::size_t shown = boxes.Shown();
        clock.AdvanceBy(70000);
        endedOnce();
        FUZZ_REQUIRE(!window.WorkingBusy());
        FUZZ_REQUIRE(!window.OneSecTimerRunning());
        if (window.Messages().size() != messages || boxes.Shown() != shown) {
            std::fprintf(stderr, "after the end: \"%s\"\n", window.MessageText().c_str());
        }
        FUZZ_REQUIRE(window.Messages().size() == messages);
        FUZZ_REQUIRE(boxes.Shown() == shown);
    }
    line.AttachPeer(nullptr);

    const RunOutcome outcome = watch.last.outcome;
    if (std::getenv("GPSUPDATE_FUZZ_VERBOSE") != nullptr) {
        std::fprintf(stderr, "%s %s after %lld ms, %zu boxes, meddled %d, held %d, erased %d\n",
                     RunKindName(watch.last.kind), RunOutcomeName(outcome),
                     static_cast<long long>(clock.NowMs()), boxes.Shown(), peer.Meddled() ? 1 : 0,
                     Data().HeldBy(unit) ? 1 : 0, UnitErased(unit) ? 1 : 0);
    }
    if (update && outcome == RunOutcome::Succeeded) {
        FUZZ_REQUIRE(Data().HeldBy(unit));
    }
    // Only the operator's Cancel skips an update, and it is never passed over.
    if (update && (outcome == RunOutcome::Skipped || boxes.Declined())) {
        FUZZ_REQUIRE(boxes.Declined() && outcome != RunOutcome::Succeeded);
        FUZZ_REQUIRE(!UnitErased(unit));
    }
    // A forged program version could make the host go on; only the unit's
    // own answers must stop it.
    if (update && scenario.unit.programVersion != "GPSP01.2000" && !peer.Replaced()) {
        FUZZ_REQUIRE(outcome != RunOutcome::Succeeded);
        FUZZ_REQUIRE(!UnitErased(unit));
    }
    if (!peer.Meddled() && !boxes.Declined() && scenario.soundUnit) {
        FUZZ_REQUIRE(outcome == RunOutcome::Succeeded);  // and so the unit holds the file
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::PrepareTables();
    (void)Data();
    RunOne(data, size);
    return 0;
}
