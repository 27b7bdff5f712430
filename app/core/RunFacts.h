#pragma once

#include <cstdint>
#include <string>

// What the operator started.
enum class RunKind { None, Scan, ConnectionTest, Update };

// How a run of the sequence (scan, connection test or update) ended.
enum class RunOutcome {
    None,         // no run has ended yet
    Succeeded,    // scan: a unit answered; test: connected; update: the unit reported its memory in
                  // order
    Failed,       // ended with a failure shown to the operator
    Cancelled,    // the operator left the program during the run
    Skipped,      // the unit's data was not older than the file and the question was declined:
                  // nothing was changed on the unit
    TimedOut,     // a runner gave up waiting for the end
    Interrupted,  // the program was ended (terminated, session end) during the run
};

// Where a run stood when it failed: the stage of the update sequence.
enum class RunStage {
    None,
    PortScan,
    Connect,
    DataPreparation,
    LinkMode,
    Attach,
    TransferSetUp,
    Identity,
    RecordReport,
    ProgramVersion,
    Security,
    DataVersion,
    Erase,
    FlashPreparation,
    FlashTransfer,
    ParameterPreparation,
    ParameterTransfer,
    TransferWrapUp,
    ClosingCommand,
    FinalCheck,
};

// One run's facts as the sequence learns them, from the press of the button
// to its end. Every reader (the window's observers: the trace, the history
// row, gpsupdate-auto's JSON lines, and through them the station's tiles)
// renders this value; none reads a fact back out of a display text.
struct RunFacts {
    RunKind kind = RunKind::None;
    // The port the run used: the one selected at the start, or for a scan
    // the one the unit answered on.
    int port = 0;  // COM number, 0 when none
    std::string device;
    // The unit, as read during the run (empty when not learnt).
    std::string serial;
    std::string programVersion;
    std::string dataVersionBefore;
    std::string dataVersionAfter;  // after a successful update: the file's
    std::string recordReport;
    // The data file of an update.
    std::string fileName;        // absolute path
    std::int64_t fileSize = -1;  // -1: not known
    std::string fileSha256;
    std::string fileDataVersion;
    // The transfer: blocks the unit acknowledged, and blocks sent again.
    std::int64_t blocksWritten = 0;
    std::int64_t resends = 0;
    // The erase request went out: from here the unit's old data is gone.
    bool eraseBegun = false;
    // How it ended, and where and with which text it failed.
    RunOutcome outcome = RunOutcome::None;
    RunStage failedStage = RunStage::None;
    std::string failureText;
    // UTC milliseconds since 1970; endMs 0 while the run is under way.
    std::int64_t startMs = 0;
    std::int64_t endMs = 0;
    // The run's trace file under its final name (empty when none is kept).
    std::string traceFile;

    bool operator==(const RunFacts&) const = default;
};

// The words the history stores and the JSON lines carry.
const char* RunOutcomeName(RunOutcome outcome);  // success, failure, cancelled, skipped, ...
const char* RunKindName(RunKind kind);           // scan, test, update
const char* RunStageName(RunStage stage);        // "connect", "flash transfer", ...
// The stage a state of the sequence belongs to.
RunStage StageOfState(std::int32_t state);
