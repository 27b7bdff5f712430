#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "HeadlessWindow.h"
#include "IRunObserver.h"
#include "MemorySerialLine.h"
#include "PackedDataFile.h"
#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "SimulatedUnit.h"
#include "VirtualClock.h"
#include "WorkPageEvent.h"

struct SequenceRigOptions {
    // A small data set: flash bytes and parameter bytes of the file.
    std::size_t flashBytes = 224 * 20 + 100;
    std::size_t parameterBytes = 64 * 3 + 10;
    std::string dataFileVersion = "0601";
    std::uint64_t seed = 11;
    std::int16_t port = 1;
    // The COM number the unit is plugged into (0: behind every port).
    int unitPort = 0;
};

// The sequence on the headless window, an in-memory line and the simulated
// unit, in virtual time: a whole update runs in milliseconds.
class SequenceRig : private IRunObserver {
  public:
    using Options = SequenceRigOptions;

    static sim::UnitConfig QuickUnit();

    explicit SequenceRig(sim::UnitConfig unit = QuickUnit(), Options options = Options{});
    ~SequenceRig() override;

    // Presses a button (6 scan, 7 connection test, 9 start) once the idle
    // state has run, and runs the clock until the run has ended or the
    // limit of virtual time has passed. The outcome, or nothing on the limit.
    std::optional<RunOutcome> Run(std::int32_t button, std::int64_t limitMs = 10 * 60 * 1000);
    std::optional<RunOutcome> Update(std::int64_t limitMs = 10 * 60 * 1000) {
        return Run(kEventDownLoadStart, limitMs);
    }

    // Adds faults to the unit, in gpsunit-sim's --fault form (several apart
    // by spaces); a text that does not parse throws std::invalid_argument.
    void AddFault(const std::string& specs);

    // Whether the unit's memories hold every block of the file.
    bool UnitHoldsFile() const { return dataFile->HeldBy(*unit); }
    // How many requests of a command code the unit heard.
    int HeardCount(int code) const;
    // Whether the unit carried out the erase / the closing command.
    bool Erased() const { return UnitDid("erase started"); }
    bool ClosingSent() const { return UnitDid("memory check started"); }
    bool UnitDid(const std::string& stateNote) const;
    std::vector<std::string> BoxTexts() const { return boxes.Texts(); }

    platform::VirtualClock clock;
    platform::ScriptedMessageBoxes boxes;
    platform::ScopedProgramMessageBoxes programBoxes{boxes};
    platform::MemorySerialLine line{clock};
    std::unique_ptr<sim::SimulatedUnit> unit;
    std::unique_ptr<PackedDataFile> dataFile;
    std::unique_ptr<HeadlessWindow> window;
    // The facts the observers were handed: each time the run learnt one,
    // and at each run's end.
    std::vector<RunFacts> factsLearned;
    std::vector<RunFacts> runs;

  private:
    void OnFactsLearned(const RunFacts& run) override { factsLearned.push_back(run); }
    void OnRunEnded(const RunFacts& run) override;
};
