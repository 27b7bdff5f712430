#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "ISerialControl.h"
#include "IWorkPageWindow.h"
#include "RunFacts.h"
#include "SentenceReply.h"
#include "WorkPageRecord.h"
#include "WorkState.h"
#include "clsBlockLink.h"
#include "mduDisplayText.h"

class IRunObserver;
class clsPNV480DnLdData;

// The update sequence: one event-driven state machine for the port scan, the
// connection test and the whole update. Every call handles one event in the
// current state (the window's WorkState) and returns; it never waits. The
// window turns its timer ticks, button clicks and serial driver events into
// calls of WorkPageStateMachine.
//
// One handler per state; the files follow the workflow: clsUpdateSequence.cpp
// (dispatch, shared operations, the run's facts), SequenceConnect.cpp (states
// 0 to 2), SequencePreparation.cpp (3 and 4), SequenceStages.cpp (the
// single-command stages, a table of rows), SequenceTransfer.cpp (13 to 17;
// the block link itself is clsBlockLink's) and SequenceClosing.cpp (20, 21).
//
// Message boxes are modal but let timers and serial events through, so the
// sequence may be entered again from inside a box. It therefore shows a
// box before the state change that re-arms the sequence timer (except the
// final boxes of an update, shown once idle is entered), and reads what it
// needs of the step record before a box opens.
class clsUpdateSequence {
  public:
    // The data file must accept this tool version.
    static constexpr char kToolVersion[] = "KQDV01.0000";

    explicit clsUpdateSequence(IWorkPageWindow& window);
    ~clsUpdateSequence();
    clsUpdateSequence(const clsUpdateSequence&) = delete;
    clsUpdateSequence& operator=(const clsUpdateSequence&) = delete;

    // Handles one event. vByteArry: the bytes that came with it (a reply),
    // empty when none.
    void WorkPageStateMachine(std::int32_t venvWorkingEvent,
                              std::span<const std::uint8_t> vByteArry = {});

    WorkPageRecord& WorkPage() { return workPage_; }
    const WorkPageRecord& WorkPage() const { return workPage_; }

    // The data file of the last update start (nullptr before the first).
    const clsPNV480DnLdData* DataFile() const { return dataFile_.get(); }

    // The run under way (None when idle), and how the last one ended.
    RunKind CurrentRun() const { return runKind_; }
    RunOutcome LastOutcome() const { return run_.outcome; }
    // The facts of the run under way, or of the last one.
    const RunFacts& Run() const { return run_; }
    void SetObserver(IRunObserver* observer) { observer_ = observer; }
    // The run ends here where it stands, because its events no longer come
    // (the program is being left: cancelled by the operator, or interrupted
    // by the program's end) or a runner gave up on it (timed out).
    void AbandonRun(RunOutcome outcome = RunOutcome::Cancelled);

  private:
    using StateHandler = void (clsUpdateSequence::*)();

    static constexpr std::int32_t kStateCount = 22;  // states 0 to 21
    // The final memory check polls once a second for this many seconds.
    static constexpr std::int16_t kFinalCheckSeconds = 40;
    // Garbled replies tried on one port before the scan moves on.
    static constexpr std::int16_t kGarbledRepliesPerPort = 3;
    // List indices of the port list: COM1 to COM16.
    static constexpr std::int16_t kLastPortIndex = 15;
    // The closing command expects no reply, only the port's notice that it
    // has been sent. The frame is a few bytes, on the wire in well under a
    // millisecond at 115200 baud; even an adapter that holds writes back for
    // its latency timer (16 ms) reports it within tens of milliseconds. A
    // notice that has not come after this many one-second ticks (two to
    // three seconds) never will: the device went away with the write.
    static constexpr std::int16_t kClosingSendTicks = 3;
    // The flash transfer's time left is estimated from its pace once it has
    // run this long; until then the fixed estimate stands.
    static constexpr std::int64_t kPaceKnownSeconds = 5;
    // Lamp colours.
    static constexpr std::int32_t kLampIdle = mduDisplayText::LampIdle;
    static constexpr std::int32_t kLampBusy = mduDisplayText::LampBusy;
    static constexpr std::int32_t kLampDone = mduDisplayText::LampDone;
    static constexpr std::int32_t kLampFailed = mduDisplayText::LampFailed;
    // Status bits the stages require of a reply.
    static constexpr std::int32_t kAttachBit = 0x08;
    static constexpr std::int32_t kAcceptedBit = 0x02;

    // One row of a stage table: what the state writes into the step record
    // before it runs the stage.
    struct StageRow {
        WorkState state;
        std::string progressText;
        std::string doneText;
        std::string failText;
        std::int32_t commandCode;
        std::int32_t lampIndex;
        std::int32_t requiredStatus;
        WorkState nextState;
    };
    static const StageRow* FindRow(const std::vector<StageRow>& rows, std::int32_t state);
    static void WriteRow(WorkPageRecord& page, const StageRow& row);

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

    static bool HasState(std::int32_t state);

    // --- Shared operations (clsUpdateSequence.cpp) ---
    // Enters a state: the window's ChangeWorkState. Entering idle ends the run.
    void EnterState(std::int32_t state);
    void EnterState(WorkState state) { EnterState(ToInt(state)); }
    void BeginRun(RunKind kind);
    // The run's end: its outcome and end time; a failure keeps where it
    // failed and its text.
    void EndRun(RunOutcome outcome);
    // The red text, kept as the run's failure text.
    void ShowError(const std::string& text);
    // The failure state, after a critical box when the unit has been erased
    // and the failure has shown no box of its own (boxShown): an operator
    // who looked away must not miss that it now has no usable data.
    void EndFailure(std::int32_t failState, bool boxShown);
    // The text of a send the driver did not take: why the port failed, when
    // it did, else the short send failure.
    std::string SendFailureText();
    // The progress bar, its percentage and the clock as at start-up.
    void ClearProgressRow();
    // An update that asked for the link mode ends before the erase: the
    // closing command sends the unit, its data untouched, back to normal use.
    void BringBackBeforeErase();
    // Red text (the standard no-response text when empty), the critical
    // time-out box, then the failure state.
    void ReportNoResponse(std::int32_t failState, const std::string& text);
    // The port in use and the device behind it, into the run's facts.
    void LearnPort();
    // The port list back on the port chosen when the run began: a scan that
    // found nothing leaves the operator's choice (which is saved on exit).
    void SelectChosenPort();
    // The data file's name, size and digest, into the run's facts.
    void LearnDataFile();
    // Tells the observer that the run has learnt a fact.
    void FactsLearned();
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
    platform::MsgResult Box(const std::string& text, platform::MsgButtons buttons,
                            platform::MsgIcon icon);
    // The data file box's text without its surrounding spaces.
    std::string ChosenFileName() const;

    // --- Connect, test and scan (SequenceConnect.cpp) ---
    void PortScanReply();
    // Moves the scan to the next port with a fresh count; past COM16 the
    // scan ends, with the box only when the last port did answer or time out.
    void ScanNextPort(bool boxWhenExhausted);
    void ConnectForUpdate();
    void ConnectForTest();
    // The greeting's answer in state 2: the link-mode probe's answer, a
    // garbled or refused greeting are dealt with here (connectLamp: the run
    // shows the connect lamp); the acknowledged reply is returned.
    std::optional<SentenceReply> GreetingAnswer(bool connectLamp);
    void GreetingUnanswered(bool connectLamp);
    // Next port of the scan: the index goes up by one; when it is 15 or less
    // the list moves to it and the sequence timer is re-armed.
    std::int16_t NextCommPort(std::int16_t index);
    // The scan's end when it has passed COM16: the exclamation box (unless
    // the last port could not be opened), then the standard report.
    void ScanExhausted(bool showBox);
    // A port the scan could not open, other than for want of a device.
    void NoteUnopenedPort(platform::PortFault fault);
    // The record part of a connection result, filling lines 2 and 4.
    std::string ShowConnectionFacts(const SentenceReply& reply);
    void ShowSerialNumber(const SentenceReply& reply);
    // The greeting went unanswered: asks at the link speed whether the unit
    // was left in link mode (false when the request cannot go out).
    bool ProbeLinkMode();
    void LinkModeLeft(bool connectLamp);

    // --- Single-command stages (SequenceStages.cpp) ---
    // Sends on event 1, judges the reply on event 3, reports the time-out on
    // event 5.
    void RunCommandStep(WorkPageRecord& page);
    void CommandStageReply(WorkPageRecord& page);
    // Reply handlers of the QID, STS, VPGM and VMAP stages.
    bool RunReplyHandler(WorkPageRecord& page);
    bool OnUnitIDReply();
    bool OnRecordReportReply();
    bool OnProgramVersionReply(WorkPageRecord& page);
    bool OnMapVersionReply(WorkPageRecord& page);

    // --- Transfer (SequenceTransfer.cpp) ---
    // What the operator sees of a step of the block link, and the run's count.
    void ShowBlockLinkStep(const WorkPageRecord& page, BlockLinkStep step);
    void BlockStageDone(const WorkPageRecord& page);
    // The progress bar, its percentage and the clock, when a tick asked.
    void ShowTransferProgress(const WorkPageRecord& page);
    // The flash transfer's time left at its pace so far, once that is known.
    std::optional<std::string> RemainingTimeText(std::int32_t written, std::int32_t total) const;

    // --- Closing and final check (SequenceClosing.cpp) ---
    // The closing command was not sent or its send notice never came.
    void ClosingFailed(bool portRefused);
    void FinalCheckTick(WorkPageRecord& page);
    void FinalCheckReply(WorkPageRecord& page);
    // No report of the unit's in the 40 s: the no-response text, or the one
    // naming both serial numbers when only another unit reported.
    void FinalCheckTimedOut();

    static const std::array<StateHandler, kStateCount> kStateHandlers;

    clsBlockLink blockLink_;
    bool progressDue_ = false;  // a tick asked for the transfer displays
    bool failing_ = false;      // see BeginFailure; cleared by the next state change
    std::int16_t closingTicks_ = 0;
    bool probingLinkMode_ = false;
    std::vector<std::string> unopenedPorts_;           // this scan's ports that could not be opened
    std::vector<platform::PortFault> unopenedFaults_;  // why, each reason once
    int openedPorts_ = 0;                              // this scan's ports that could be opened
    int chosenPort_ = 0;                               // the COM number chosen when the run began
    // The update has asked the unit into its link mode.
    bool linkModeRequested_ = false;
    // Per COM number: whether this program's last update there that asked
    // for the link mode began the erase.
    std::map<int, bool> erasedOnPort_;
    // The serial number the unit greeted with, and another unit's heard in
    // the final check.
    std::string greetingSerial_;
    std::string foreignSerial_;
    std::int64_t flashStartSeconds_ = 0;  // when the first flash block went out

    IWorkPageWindow& window_;
    WorkPageRecord workPage_;
    std::unique_ptr<clsPNV480DnLdData> dataFile_;

    IRunObserver* observer_ = nullptr;
    RunKind runKind_ = RunKind::None;
    RunFacts run_;
    RunOutcome pendingOutcome_ = RunOutcome::Failed;  // how the run ends when idle is entered
    bool endToReport_ = false;
    int depth_ = 0;  // nesting of WorkPageStateMachine (boxes let events in)
};
