#include "Station.h"

#include <cstdio>
#include <filesystem>

#include "StationTexts.h"

namespace {

std::string ComName(int port) {
    return "COM" + std::to_string(port);
}

// The device a port's name leads to: a link (/dev/serial/by-id/...) is
// followed to the device itself, so that one device under two names is
// seen as one. A name that is not a path (COM3) is its own device.
std::string RealDevice(const std::string& device) {
    const std::filesystem::path path(device);
    if (device.empty() || !path.is_absolute()) {
        return device;
    }
    std::error_code error;
    const std::filesystem::path real = std::filesystem::weakly_canonical(path, error);
    return error ? device : real.string();
}

std::string Seconds(int ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", ms / 1000.0);
    return text;
}

}  // namespace

Station::Station(IRunLauncher& launcher, platform::ITimerFactory& timers, NowMs nowMs,
                 StationSettings settings)
    : launcher_(launcher),
      nowMs_(std::move(nowMs)),
      settings_(std::move(settings)),
      tick_(timers.CreateTimer()) {
    startMs_ = nowMs_();
    tick_->SetInterval(kTickMs);
    tick_->SetOnTimer([this] { Tick(); });
}

void Station::AddPort(int port) {
    if (ports_.count(port) == 0) {
        Port& p = ports_[port];
        p.tile = StationTile(port);
        p.tile.SetDevice(launcher_.DeviceForPort(port));
    }
}

std::vector<int> Station::Ports() const {
    std::vector<int> list;
    for (const auto& [port, p] : ports_) {
        list.push_back(port);
    }
    return list;
}

const StationTile& Station::Tile(int port) const {
    return ports_.at(port).tile;
}

Station::Port& Station::At(int port) {
    return ports_.at(port);
}

bool Station::Start(int port, std::string& why) {
    return FileUsable(why) && StartPort(port, why);
}

std::vector<std::string> Station::StartAll() {
    // A file that does not load would fail every unit without writing one.
    if (std::string why; !FileUsable(why)) {
        return {why};
    }
    std::vector<std::string> reasons;
    for (auto& [port, p] : ports_) {
        if (p.child != 0 || p.handsFree) {
            continue;
        }
        std::string why;
        if (!StartPort(port, why)) {
            reasons.push_back(why);
        }
    }
    return reasons;
}

bool Station::FileUsable(std::string& why) const {
    if (settings_.file.empty()) {
        why = "沒有選擇資料檔";
        return false;
    }
    if (const std::string problem = launcher_.DataFileProblem(settings_.file); !problem.empty()) {
        why = std::string(StationTexts::FileNotUsable) + problem;
        return false;
    }
    return true;
}

bool Station::StartPort(int port, std::string& why) {
    AddPort(port);
    Port& p = At(port);
    if (p.child != 0 || p.handsFree) {
        why = ComName(port) + ": " + StationTexts::PortInUse;
        return false;
    }
    started_ = true;
    finishedReported_ = false;
    tick_->SetEnabled(true);
    p.handsFree = settings_.continuous;
    p.tile.SetHandsFree(p.handsFree);
    p.awaitingRemoval = false;
    p.lastSuccessSerial.clear();
    if (settings_.continuous ? Greet(port, why) : Launch(port, RunRequest::Action::Update, why)) {
        Changed(port);
        return true;
    }
    p.handsFree = false;
    CheckFinished();
    return false;
}

bool Station::DeviceFree(int port, std::string& why) {
    // Two runs never share a line, whatever numbers or names lead to it.
    const std::string device = launcher_.DeviceForPort(port);
    const std::string real = RealDevice(device);
    At(port).tile.SetDevice(device);
    for (const auto& [other, q] : ports_) {
        if (other != port && q.child != 0 && !device.empty() &&
            RealDevice(q.tile.Device()) == real) {
            const std::string names =
                q.tile.Device() == device ? device : q.tile.Device() + " = " + device;
            why = ComName(port) + " = " + ComName(other) + " (" + names +
                  (real != device ? " = " + real : "") + "): " + StationTexts::PortInUse;
            return false;
        }
    }
    return true;
}

RunRequest Station::Request(int port, RunRequest::Action action) {
    RunRequest request;
    request.port = port;
    request.action = action;
    request.file = settings_.file;
    request.force = settings_.force;
    request.timeoutSeconds = settings_.updateTimeoutSeconds;
    request.history = settings_.history;
    request.historyServer = settings_.historyServer;
    request.pollSeconds = settings_.pollIntervalMs / 1000.0;
    request.lastSerial = At(port).lastSuccessSerial;
    // A waiting child names its second update's trace COMn-runNNN-2.jsonl.
    if (!settings_.traceFolder.empty()) {
        char name[64];
        std::snprintf(name, sizeof name, "/COM%d-run%03d.jsonl", port, ++runNumber_);
        request.trace = settings_.traceFolder + name;
    }
    return request;
}

bool Station::Launch(int port, RunRequest::Action action, std::string& why) {
    if (!DeviceFree(port, why)) {
        return false;
    }
    Port& p = At(port);
    const RunRequest request = Request(port, action);
    p.action = action;
    p.updating = false;
    p.deviceGone = false;
    p.tile.BeginRun(action, nowMs_());
    if (action == RunRequest::Action::Update) {
        p.tile.SetTracePath(request.trace);
    }
    // The id is known only once Start returns; callbacks never come before.
    auto id = std::make_shared<IRunLauncher::Id>(0);
    IRunLauncher::Events events;
    events.onLine = [this, port, id](const std::string& line) { OnLine(port, *id, line); };
    events.onExit = [this, port, id](const ChildExit& exit) { OnExit(port, *id, exit); };
    std::string error;
    *id = launcher_.Start(request, std::move(events), error);
    if (*id == 0) {
        why = ComName(port) + ": " + StationTexts::CannotStart + " (" + error + ")";
        p.tile.MarkStopped(why);
        p.tile.EndRun(ChildExit{true, 0, error}, nowMs_());
        if (action == RunRequest::Action::Update) {
            ++failed_;
            records_.push_back({port, "", StationTile::Result::Failure, why, 0, -1});
            if (onRunEnded) {
                onRunEnded(records_.back());
            }
        }
        Changed(port);
        return false;
    }
    p.child = *id;
    if (firstStartMs_ < 0) {
        firstStartMs_ = nowMs_();
    }
    if (onRunStarted) {
        onRunStarted(port, action);
    }
    Changed(port);
    return true;
}

void Station::OnLine(int port, IRunLauncher::Id id, const std::string& line) {
    Port& p = At(port);
    if (p.child != id) {
        return;
    }
    OnWaitingLine(port, p, p.tile.ApplyLine(line, nowMs_()));
    Changed(port);
}

void Station::OnWaitingLine(int port, Port& p, StationTile::LineEvent event) {
    switch (event) {
        case StationTile::LineEvent::None:
            break;
        case StationTile::LineEvent::UpdateStarted:
            p.updating = true;
            if (onRunStarted) {
                onRunStarted(port, RunRequest::Action::Update);
            }
            break;
        case StationTile::LineEvent::UpdateEnded:
            p.updating = false;
            AfterUpdate(port, p);
            break;
        case StationTile::LineEvent::UnitKept:
            // A unit that answers again right after its successful update
            // (after its memory check, or put back at once): not updated twice.
            Wait(port, p, true, StationTexts::SameUnitAgain);
            break;
        case StationTile::LineEvent::UnitGone:
            Wait(port, p, false, StationTexts::WaitForUnit);
            break;
    }
}

void Station::OnExit(int port, IRunLauncher::Id id, const ChildExit& exit) {
    Port& p = At(port);
    if (p.child != id) {
        return;
    }
    p.child = 0;
    const bool updating = p.action == RunRequest::Action::Update || p.updating;
    p.updating = false;
    p.tile.EndRun(exit, nowMs_());
    if (updating) {
        AfterUpdate(port, p);
    }
    if (p.action == RunRequest::Action::Wait) {
        AfterWaiting(port, p);
    }
    Changed(port);
    CheckFinished();
}

void Station::AfterUpdate(int port, Port& p) {
    lastEndMs_ = nowMs_();
    const StationTile& tile = p.tile;
    switch (tile.LastResult()) {
        case StationTile::Result::Success:
            ++done_;
            p.lastSuccessSerial = tile.Serial();
            break;
        case StationTile::Result::Skipped:
            ++skipped_;
            break;
        default:
            ++failed_;
            break;
    }
    records_.push_back({port, tile.Serial(), tile.LastResult(), tile.ResultText(), tile.Seconds(),
                        tile.RunMaxStallMs()});
    if (onRunEnded) {
        onRunEnded(records_.back());
    }
    if (!p.handsFree) {
        EndWaiting(p);
        return;
    }
    if (UnitsReached()) {
        // Enough units: every port stops waiting (updates under way finish).
        for (auto& [other, q] : ports_) {
            if (q.handsFree && q.child == 0) {
                q.tile.SetIdle();
                Changed(other);
            }
            q.handsFree = false;
            EndWaiting(q);
        }
        return;
    }
    Wait(port, p, true, StationTexts::WaitForRemoval);
}

void Station::EndWaiting(Port& p) {
    if (p.child != 0 && p.action == RunRequest::Action::Wait && !p.updating) {
        launcher_.Stop(p.child);
    }
}

void Station::AfterWaiting(int port, Port& p) {
    if (!p.handsFree) {
        if (p.tile.CurrentPhase() != StationTile::Phase::Idle) {
            p.tile.SetIdle();
        }
        return;
    }
    // Ended by itself (it crashed, or it was ended for its device): the port
    // waits on, and a new child greets once it is due and its device there.
    if (p.deviceGone) {
        Wait(port, p, false, StationTexts::NoDevice);
        p.nextPollMs = nowMs_();  // as soon as the device is back
    } else {
        Wait(port, p, p.awaitingRemoval,
             p.awaitingRemoval ? StationTexts::WaitForRemoval : StationTexts::WaitForUnit);
    }
}

bool Station::Greet(int port, std::string& why) {
    Port& p = At(port);
    if (const std::string device = launcher_.DeviceForPort(port);
        !launcher_.DevicePresent(device)) {
        // Nothing to greet: a child would only start up to say so. A unit
        // waited for to go has gone with its adapter.
        p.tile.SetDevice(device);
        Wait(port, p, false, StationTexts::NoDevice);
        p.nextPollMs = nowMs_();  // looked for again at the next device check
        return true;
    }
    if (!Launch(port, RunRequest::Action::Wait, why)) {
        return false;
    }
    Wait(port, p, p.awaitingRemoval,
         p.awaitingRemoval ? StationTexts::WaitForRemoval : StationTexts::WaitForUnit);
    return true;
}

void Station::Wait(int /*port*/, Port& p, bool removal, const std::string& reason) {
    if (p.awaitingRemoval && !removal) {
        p.tile.ForgetLastUnit();  // it has gone: the tile waits for the next
    }
    p.awaitingRemoval = removal;
    p.nextPollMs = nowMs_() + settings_.pollIntervalMs;
    p.tile.SetWaiting(
        removal ? StationTile::Phase::WaitingForRemoval : StationTile::Phase::WaitingForUnit,
        reason + "：每 " + Seconds(settings_.pollIntervalMs) + " 秒連結測試一次");
}

void Station::Tick() {
    const std::int64_t now = nowMs_();
    for (auto& [port, p] : ports_) {
        if (p.child != 0 && now - p.tile.LastLineMs() > settings_.silenceLimitMs) {
            p.tile.MarkStopped("gpsupdate-auto " + Seconds(settings_.silenceLimitMs) +
                               " 秒沒有輸出，已結束；最後一行：" +
                               (p.tile.LastLine().empty() ? "-" : p.tile.LastLine()));
            launcher_.Kill(p.child);
        }
    }
    if (now >= nextDeviceCheckMs_) {
        nextDeviceCheckMs_ = now + kDeviceCheckMs;
        CheckDevices(now);
    }
}

void Station::CheckDevices(std::int64_t now) {
    for (auto& [port, p] : ports_) {
        if (!p.handsFree) {
            continue;
        }
        if (p.child != 0) {
            // A device that went: its child ends, the port waits for it.
            if (p.action == RunRequest::Action::Wait && !p.updating &&
                !launcher_.DevicePresent(launcher_.DeviceForPort(port))) {
                p.deviceGone = true;
                EndWaiting(p);
            }
            continue;
        }
        if (now < p.nextPollMs) {
            continue;
        }
        const std::string reason = p.tile.WaitReason();
        std::string why;
        if (!Greet(port, why)) {
            Wait(port, p, p.awaitingRemoval, why);
        }
        if (p.tile.WaitReason() != reason || p.child != 0) {
            Changed(port);
        }
    }
}

void Station::Stop(int port) {
    Port& p = At(port);
    const bool wasWaiting = p.handsFree && p.child == 0;
    p.handsFree = false;
    if (p.child != 0) {
        if (UpdateRunning(port)) {
            p.tile.MarkStopped(StationTexts::StoppedByOperator);
        }
        launcher_.Stop(p.child);
    } else if (wasWaiting) {
        p.tile.SetIdle();
        Changed(port);
        CheckFinished();
    }
}

void Station::StopAll() {
    for (const int port : Ports()) {
        Stop(port);
    }
}

bool Station::UpdateRunning(int port) const {
    const auto it = ports_.find(port);
    return it != ports_.end() && it->second.child != 0 &&
           (it->second.action == RunRequest::Action::Update || it->second.updating);
}

bool Station::AnyUpdateRunning() const {
    for (const auto& [port, p] : ports_) {
        if (UpdateRunning(port)) {
            return true;
        }
    }
    return false;
}

bool Station::AnyChildRunning() const {
    for (const auto& [port, p] : ports_) {
        if (p.child != 0) {
            return true;
        }
    }
    return false;
}

bool Station::Finished() const {
    if (!started_) {
        return false;
    }
    for (const auto& [port, p] : ports_) {
        if (p.child != 0 || p.handsFree) {
            return false;
        }
    }
    return true;
}

double Station::UnitsPerHour() const {
    const std::int64_t elapsed = nowMs_() - startMs_;
    return elapsed < 1000 ? 0.0 : done_ * 3600000.0 / static_cast<double>(elapsed);
}

bool Station::UnitsReached() const {
    return settings_.units > 0 && done_ + failed_ + skipped_ >= settings_.units;
}

void Station::Changed(int port) {
    if (onTileChanged) {
        onTileChanged(port);
    }
}

void Station::CheckFinished() {
    if (Finished() && !finishedReported_) {
        finishedReported_ = true;
        tick_->SetEnabled(false);
        if (onFinished) {
            onFinished();
        }
    }
}
