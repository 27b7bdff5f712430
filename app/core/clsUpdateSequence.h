#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "IWorkPageWindow.h"
#include "RunFacts.h"
#include "WorkPageRecord.h"
#include "WorkState.h"

class IRunObserver;
class clsCommandLayer;
class clsPNV480DnLdData;
struct SentenceReply;

// The update sequence: one event-driven state machine for the port scan, the
// connection test and the whole update. Every call handles one event in the
// current state (the window's WorkState) and returns; it never waits. The
// window turns its timer ticks, button clicks and serial driver events into
// calls of WorkPageStateMachine.
//
// One handler per state, in state order in the .cpp. The single-command
// stages and the two block transfers are rows of tables that the generic
// RunCommandStep and RunBlockTransferStep work from.
//
// Message boxes are modal but let timers and serial events through, so the
// sequence may be entered again from inside a box. It therefore shows a
// box before the state change that re-arms the sequence timer (except the
// final boxes of an update, shown once idle is entered), and reads what it
// needs of the step record before a box opens.
class clsUpdateSequence {
  public:
    static constexpr std::int32_t kStateCount = 22;  // states 0 to 21

    // The final memory check polls once a second for this many seconds.
    static constexpr std::int16_t kFinalCheckSeconds = 40;
    // Garbled replies tried on one port before the scan moves on.
    static constexpr std::int16_t kGarbledRepliesPerPort = 3;
    // List indices of the port list: COM1 to COM16.
    static constexpr std::int16_t kLastPortIndex = 15;
    // The data file must accept this tool version.
    static constexpr char kToolVersion[] = "KQDV01.0000";
    // The closing command expects no reply, only the port's notice that it
    // has been sent. The frame is a few bytes, on the wire in well under a
    // millisecond at 115200 baud; even an adapter that holds writes back for
    // its latency timer (16 ms) reports it within tens of milliseconds. A
    // notice that has not come after this many one-second ticks (two to
    // three seconds) never will: the device went away with the write.
    static constexpr std::int16_t kClosingSendTicks = 3;

    explicit clsUpdateSequence(IWorkPageWindow& window);
    ~clsUpdateSequence();
    clsUpdateSequence(const clsUpdateSequence&) = delete;
    clsUpdateSequence& operator=(const clsUpdateSequence&) = delete;

    // Handles one event. vByteArry: the bytes that came with it (a reply),
    // empty when none.
    void WorkPageStateMachine(std::int32_t venvWorkingEvent,
                              std::span<const std::uint8_t> vByteArry = {});

    WorkPageRecord& WorkPage() { return m_WorkPage; }
    const WorkPageRecord& WorkPage() const { return m_WorkPage; }

    // Whether a state number has a handler.
    static bool HasState(std::int32_t state);

    // The data file of the last update start (nullptr before the first).
    const clsPNV480DnLdData* DataFile() const { return m_DataFile.get(); }

    // The run under way (None when idle); the facts of the run under way or
    // of the last one, and how the last one ended.
    RunKind CurrentRun() const { return runKind_; }
    const RunFacts& Run() const { return run_; }
    RunOutcome LastOutcome() const { return run_.outcome; }
    void SetObserver(IRunObserver* observer) { observer_ = observer; }
    // UTC milliseconds for a run's start and end (the system's clock unless
    // a test sets its own).
    void SetWallClock(std::function<std::int64_t()> nowMs) { wallClockMs_ = std::move(nowMs); }
    // The run ends here where it stands, because its events no longer come
    // (the program is being left: cancelled by the operator, or interrupted
    // by the program's end) or a runner gave up on it (timed out).
    void AbandonRun(RunOutcome outcome = RunOutcome::Cancelled);

    // --- Operations the states share (public for tests) ---------------------------

    // The generic single-command stage: sends on event 1, judges the reply
    // on event 3, reports the time-out on event 5.
    bool RunCommandStep(WorkPageRecord& page);
    // The block transfer of one kind (flash True: command 51, else 50).
    bool RunBlockTransferStep(WorkPageRecord& page, bool flash);
    // Red text (the standard no-response text when empty), the critical
    // time-out box, then the failure state.
    void ReportNoResponse(std::int32_t failState, const std::string& text);
    // Next port of the scan: the index goes up by one; when it is 15 or less
    // the list moves to it and the sequence timer is re-armed.
    std::int16_t NextCommPort(std::int16_t index);
    bool PrepareDataFile();
    void UpdateProgress();
    void UpdateElapsedTime(std::int64_t startTime);

  private:
    using StateHandler = void (clsUpdateSequence::*)();

    // --- States, in order ---
    void IdleState();                  // 0
    void PortScanState();              // 1
    void ConnectState();               // 2
    void DataPreparationState();       // 3
    void LinkModeSwitchState();        // 4
    void CommandStageState();          // 5, 7 to 12
    void TransferSetUpState();         // 6
    void FlashPreparationState();      // 13
    void BlockTransferState();         // 14, 16
    void ParameterPreparationState();  // 15
    void TransferWrapUpState();        // 17
    void ClosingCommandState();        // 20
    void FinalCheckState();            // 21

    // Enters a state: the window's ChangeWorkState. Entering idle ends the run.
    void EnterState(std::int32_t state);
    void EnterState(WorkState state) { EnterState(ToInt(state)); }
    void BeginRun(RunKind kind);
    // The run's end: its outcome and end time; a failure keeps where it
    // failed and its text.
    void EndRun(RunOutcome outcome);
    // The red text, kept as the run's failure text.
    void ShowError(const std::string& text);
    // The port in use and the device behind it, into the run's facts.
    void LearnPort();
    // The data file's name, size and digest, into the run's facts.
    void LearnDataFile();
    // Tells the observer that the run has learnt a fact.
    void FactsLearned();
    // The scan's end when it has passed COM16: the exclamation box (unless
    // the last port could not be opened), then the standard report.
    void ScanExhausted(bool showBox);
    // The record part of a connection result, filling lines 2 and 4.
    std::string ShowConnectionFacts(const SentenceReply& reply);
    void ShowSerialNumber(const SentenceReply& reply);
    void SetLamp(std::int32_t index, std::int32_t colourCode);
    // After a send the driver did not take in the binary stages: when the
    // port itself failed (an adapter pulled out), the driver's description
    // in a critical box, so the operator learns why. False when the port
    // gave no reason (no box).
    bool ShowPortFault();
    // The stage has failed and shows its end (text, then box, then the
    // failure state): events that reach the state while the box is open
    // change nothing, neither the message area nor the unit.
    void BeginFailure() { failing_ = true; }
    // The greeting went unanswered: asks at the link speed whether the unit
    // was left in link mode (false when the request cannot go out).
    bool ProbeLinkMode();
    void LinkModeLeft();
    // The closing command was not sent or its send notice never came.
    void ClosingFailed(bool portRefused);
    platform::MsgResult Box(const std::string& text, platform::MsgButtons buttons,
                            platform::MsgIcon icon);

    // Reply handlers of the QID, STS, VPGM and VMAP stages.
    bool OnUnitIDReply(WorkPageRecord& page);
    bool OnRecordReportReply(WorkPageRecord& page);
    bool OnProgramVersionReply(WorkPageRecord& page);
    bool OnMapVersionReply(WorkPageRecord& page);
    bool RunReplyHandler(WorkPageRecord& page);
    // Block transfer: what a send result means for the stage, and a resend.
    void OnBlockSendResult(WorkPageRecord& page, int result);
    void RetryBlock(WorkPageRecord& page, bool flash, bool timedOut);
    // After a block whose sends did not all get a clean reply: brings the
    // link back in step before the next block goes out (see BlockLink).
    void SendBarrier(WorkPageRecord& page);
    void ResendBarrier(WorkPageRecord& page);
    void AwaitBarrier(WorkPageRecord& page, bool timedOut);
    // A reply taken while a block's reply is awaited that is the late answer
    // to an earlier barrier request: dropped, and the block's reply awaited
    // on. False when it is not one.
    bool DropLateBarrierReply(WorkPageRecord& page);
    // UpdateProgress and UpdateElapsedTime, when a one-second tick asked.
    void ShowTransferProgress(const WorkPageRecord& page);

    static const std::array<StateHandler, kStateCount> kStateHandlers;

    // Replies carry no block number. After a block had to be sent again (a
    // time-out, a damaged or refused reply, line noise taken for one), a
    // reply to an earlier send of it may still be on its way; taken for the
    // answer to the next block, it would count that block as written when
    // the unit may never have received it (a request lost on the line). So
    // the acknowledgement of such a block is followed by a barrier: a
    // record-report request (STS), which the unit answers in order after
    // every request before it. Replies echoing the block command are stray
    // replies of earlier sends and are dropped; the barrier's own reply puts
    // the link back in step. No block follows before it has come.
    //
    // The barrier is needed on noisy lines, where it may be lost itself: it
    // is sent again after a quiet wait or a damaged frame, up to as many
    // times as a block is (four sends). The answers to its earlier sends may
    // then still come after the next block has gone out; they echo STS, not
    // the block's code, and are dropped without costing that block a try.
    struct BlockLink {
        bool uncertain = false;  // a send of this block got no clean reply
        bool barrier = false;    // waiting for the barrier's reply
        bool listened = false;   // the last barrier send has had its listening wait
        int sends = 0;           // barrier requests sent for this block
        int waits = 0;           // time-outs and stray replies while waiting
    };
    static constexpr int kBarrierSends = 4;
    // Each barrier send waits its request's own time-out and then one block
    // write's reply time-out (2 s) of listening, since its reply may queue
    // behind the replies to every send of the block. The stage gives up as on
    // a block without reply after the last send's wait, or after this many
    // waits and stray replies in all (the two waits of each of the four
    // sends, and the stray replies of up to four block sends).
    static constexpr int kBarrierWaits = 2 * kBarrierSends + 4;
    static constexpr std::int32_t kBarrierWaitMs = 2000;
    BlockLink blockLink_;
    // Barrier requests whose replies have not come (at most three: all but
    // the one answered).
    int lateBarrierReplies_ = 0;
    bool progressDue_ = false;  // a tick asked for the transfer displays
    bool failing_ = false;      // see BeginFailure; cleared by the next state change
    std::int16_t closingTicks_ = 0;
    bool probingLinkMode_ = false;
    std::vector<std::string> unopenedPorts_;  // this scan's ports that could not be opened

    IWorkPageWindow& window_;
    WorkPageRecord m_WorkPage;
    std::unique_ptr<clsPNV480DnLdData> m_DataFile;

    IRunObserver* observer_ = nullptr;
    std::function<std::int64_t()> wallClockMs_;
    RunKind runKind_ = RunKind::None;
    RunFacts run_;
    RunOutcome pendingOutcome_ = RunOutcome::Failed;  // how the run ends when idle is entered
    bool endToReport_ = false;
    int depth_ = 0;  // nesting of WorkPageStateMachine (boxes let events in)
};
