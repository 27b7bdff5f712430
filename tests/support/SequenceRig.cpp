#include "SequenceRig.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

#include "LogEntry.h"
#include "mduGlobalModule.h"

sim::UnitConfig SequenceRig::QuickUnit() {
    sim::UnitConfig unit;
    unit.eraseMs = 2000;
    unit.checkMs = 3000;
    unit.flashSize = 256 * 1024;
    unit.parameterSize = 16 * 1024;
    return unit;
}

SequenceRig::SequenceRig(sim::UnitConfig unitConfig, Options options) {
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

SequenceRig::~SequenceRig() {
    window.reset();
    line.AttachPeer(nullptr);
}

void SequenceRig::OnRunEnded(const RunFacts& run) {
    runs.push_back(run);
}

std::optional<RunOutcome> SequenceRig::Run(std::int32_t button, std::int64_t limitMs) {
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

void SequenceRig::AddFault(const std::string& specs) {
    std::istringstream words(specs);
    for (std::string spec, error; words >> spec;) {
        const std::optional<sim::FaultSpec> fault = sim::FaultSpec::Parse(spec, error);
        if (!fault) {
            throw std::invalid_argument(spec + ": " + error);
        }
        unit->AddFault(*fault);
    }
}

bool SequenceRig::UnitDid(const std::string& stateNote) const {
    const auto& log = unit->Log().Entries();
    return std::any_of(log.begin(), log.end(), [&](const sim::LogEntry& entry) {
        return entry.kind == sim::LogEntry::Kind::State && entry.note == stateNote;
    });
}

int SequenceRig::HeardCount(int code) const {
    const auto& log = unit->Log().Entries();
    return static_cast<int>(std::count_if(log.begin(), log.end(), [code](const sim::LogEntry& e) {
        return e.kind == sim::LogEntry::Kind::HostFrame && e.code == code && e.note.empty();
    }));
}
