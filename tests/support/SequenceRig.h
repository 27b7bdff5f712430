#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "HeadlessWindow.h"
#include "IRunObserver.h"
#include "LogEntry.h"
#include "MemorySerialLine.h"
#include "PackedDataFile.h"
#include "ProgramMessageBoxes.h"
#include "ScriptedMessageBoxes.h"
#include "SimulatedUnit.h"
#include "VirtualClock.h"
#include "WorkPageEvent.h"
#include "mduGlobalModule.h"

// The message area's colours (HeadlessWindow::Message's kinds).
inline constexpr int kBlue = 1;
inline constexpr int kRed = 2;

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

    static sim::UnitConfig QuickUnit() {
        sim::UnitConfig unit;
        unit.eraseMs = 2000;
        unit.checkMs = 3000;
        unit.flashSize = 256 * 1024;
        unit.parameterSize = 16 * 1024;
        return unit;
    }

    explicit SequenceRig(sim::UnitConfig unitConfig = QuickUnit(), Options options = Options{}) {
        mduGlobalModule::InitGlobalTables();
        unit = std::make_unique<sim::SimulatedUnit>(std::move(unitConfig));
        line.AttachPeer(unit.get());
        line.SetPeerPort(options.unitPort);

        dataFile = std::make_unique<PackedDataFile>(options.flashBytes, options.parameterBytes,
                                                    options.dataFileVersion, options.seed);
        window = std::make_unique<HeadlessWindow>(clock, line, boxes, options.seed);
        window->SetFileName(dataFile->Path());
        window->Sequence().SetObserver(this);
        window->Start(options.port);
    }
    ~SequenceRig() override {
        window.reset();
        line.AttachPeer(nullptr);
    }

    // Presses a button (6 scan, 7 connection test, 9 start) once the idle
    // state has run, and runs the clock until the run has ended or the
    // limit of virtual time has passed. The outcome, or nothing on the limit.
    std::optional<RunOutcome> Run(std::int32_t button, std::int64_t limitMs = 10 * 60 * 1000) {
        // The idle state's first run enables the controls.
        clock.RunUntil([this] { return !window->WorkingBusy() && window->WorkState() == 0; }, 100);
        clock.AdvanceBy(30);
        const std::size_t before = runs.size();
        window->Press(button);
        if (!clock.RunUntil([&] { return runs.size() > before; }, limitMs)) {
            return std::nullopt;
        }
        return window->Sequence().LastOutcome();
    }
    std::optional<RunOutcome> Update(std::int64_t limitMs = 10 * 60 * 1000) {
        return Run(kEventDownLoadStart, limitMs);
    }

    // Adds faults to the unit, in gpsunit-sim's --fault form (several apart
    // by spaces); a text that does not parse throws std::invalid_argument.
    void AddFault(const std::string& specs) {
        std::istringstream words(specs);
        for (std::string spec, error; words >> spec;) {
            const std::optional<sim::FaultSpec> fault = sim::FaultSpec::Parse(spec, error);
            if (!fault) {
                throw std::invalid_argument(spec + ": " + error);
            }
            unit->AddFault(*fault);
        }
    }

    // Whether the unit's memories hold every block of the file.
    bool UnitHoldsFile() const { return dataFile->HeldBy(*unit); }
    // How many requests of a command code the unit heard.
    int HeardCount(int code) const {
        const auto& log = unit->Log().Entries();
        return static_cast<int>(
            std::count_if(log.begin(), log.end(), [code](const sim::LogEntry& e) {
                return e.kind == sim::LogEntry::Kind::HostFrame && e.code == code && e.note.empty();
            }));
    }
    // Whether the unit carried out the erase / the closing command.
    bool Erased() const { return UnitDid("erase started"); }
    bool ClosingSent() const { return UnitDid("memory check started"); }
    bool UnitDid(const std::string& stateNote) const {
        const auto& log = unit->Log().Entries();
        return std::any_of(log.begin(), log.end(), [&](const sim::LogEntry& entry) {
            return entry.kind == sim::LogEntry::Kind::State && entry.note == stateNote;
        });
    }
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
    void OnRunEnded(const RunFacts& run) override { runs.push_back(run); }
};
