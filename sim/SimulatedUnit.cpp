#include "SimulatedUnit.h"

#include <algorithm>
#include <cstdio>

#include "UnitSentence.h"

// The unit's state and its face to the line: what it is told, when it is
// due, and what it sends when polled. The text dialect, the binary requests
// and the commands are in SimulatedUnitText.cpp, SimulatedUnitBinary.cpp and
// SimulatedUnitCommands.cpp.

namespace sim {

SimulatedUnit::SimulatedUnit(UnitConfig config)
    : config_(std::move(config)),
      report_(config_.recordReport),
      flash_(config_.flashSize, config_.initialFill),
      parameters_(config_.parameterSize, config_.initialFill),
      random_(config_.seed),
      gapRandom_(config_.seed ^ 0x9E3779B97F4A7C15ULL) {
    log_.SetKeepEntries(config_.keepLog);
    for (const FaultSpec& fault : config_.faults) {
        faults_.Add(fault);
    }
    if (config_.absentMs > 0) {
        present_ = false;
        Schedule(config_.absentMs * 1000, std::nullopt, After::Arrive, {});
    }
}

void SimulatedUnit::Arrive(std::int64_t nowUs) {
    present_ = true;
    LogState(nowUs, "a unit with serial " + config_.serial + " is on the line");
}

// --- ISerialPeer and timing -------------------------------------------------

void SimulatedUnit::OnHostBytes(std::span<const std::uint8_t> bytes, int hostBaud,
                                std::int64_t nowUs) {
    if (!connected_ || bytes.empty()) {
        return;
    }
    if (!present_) {
        log_.AddDropped(nowUs, bytes, hostBaud, "no unit on the line");
        return;
    }
    if (hostBaud != Baud()) {
        log_.AddDropped(nowUs, bytes, hostBaud,
                        "sent at another speed than the unit's " + std::to_string(Baud()));
        sentence_.clear();
        request_.clear();
        return;
    }
    if (erasing_) {
        log_.AddDropped(nowUs, bytes, hostBaud, "unit busy erasing");
        return;
    }
    if (mode_ == Mode::Text) {
        OnTextBytes(bytes, nowUs);
    } else {
        OnBinaryBytes(bytes, nowUs);
    }
}

std::int64_t SimulatedUnit::NextDueUs() const {
    if (!connected_ || pending_.empty()) {
        return -1;
    }
    std::int64_t due = pending_.front().dueUs;
    for (const Pending& p : pending_) {
        due = std::min(due, p.dueUs);
    }
    return due;
}

std::vector<platform::ISerialPeer::Transmission> SimulatedUnit::Poll(std::int64_t nowUs) {
    std::vector<Transmission> out;
    while (connected_) {
        auto next = pending_.end();
        for (auto it = pending_.begin(); it != pending_.end(); ++it) {
            if (it->dueUs <= nowUs && (next == pending_.end() || it->dueUs < next->dueUs ||
                                       (it->dueUs == next->dueUs && it->seq < next->seq))) {
                next = it;
            }
        }
        if (next == pending_.end()) {
            break;
        }
        Pending item = std::move(*next);
        pending_.erase(next);
        if (item.tx) {
            item.entry.timeUs = nowUs;
            log_.Add(std::move(item.entry));
            out.push_back(std::move(*item.tx));
        }
        switch (item.after) {
            case After::Nothing:
                break;
            case After::EnterBinary:
                SetMode(Mode::Binary, nowUs);
                hasTable_ = false;
                break;
            case After::EndErase:
                erasing_ = false;
                LogState(nowUs, "erase finished");
                break;
            case After::EndCheck:
                checking_ = false;
                report_ = config_.finalReport;
                checked_ = true;
                LogState(nowUs,
                         "memory check finished, record report " + UnitSentence::HexByte(report_));
                if (config_.stayMs >= 0) {
                    Schedule(nowUs + config_.stayMs * 1000, std::nullopt, After::Leave, {});
                }
                break;
            case After::Leave:
                Leave(nowUs);
                break;
            case After::Arrive:
                Arrive(nowUs);
                break;
        }
    }
    return out;
}

std::size_t SimulatedUnit::WholeMessageLength(std::span<const std::uint8_t> bytes, int hostBaud,
                                              std::int64_t nowUs) const {
    if (!connected_ || !present_ || erasing_ || hostBaud != Baud()) {
        return 0;
    }
    return mode_ == Mode::Text ? WholeSentenceLength(bytes) : WholeRequestLength(bytes, nowUs);
}

// --- Mode and state ---------------------------------------------------------

void SimulatedUnit::Schedule(std::int64_t dueUs, std::optional<Transmission> tx, After after,
                             LogEntry entry) {
    pending_.push_back(Pending{dueUs, nextSeq_++, std::move(tx), after, std::move(entry)});
}

void SimulatedUnit::SetMode(Mode mode, std::int64_t nowUs) {
    if (mode == mode_) {
        return;
    }
    mode_ = mode;
    sentence_.clear();
    request_.clear();
    skipping_ = false;
    LogEntry entry;
    entry.timeUs = nowUs;
    entry.kind = LogEntry::Kind::Mode;
    entry.baud = Baud();
    entry.note = mode == Mode::Text ? "text" : "binary";
    log_.Add(std::move(entry));
}

void SimulatedUnit::LogState(std::int64_t nowUs, const std::string& note) {
    LogEntry entry;
    entry.timeUs = nowUs;
    entry.kind = LogEntry::Kind::State;
    entry.note = note;
    log_.Add(std::move(entry));
}

void SimulatedUnit::Leave(std::int64_t nowUs) {
    if (!present_) {
        return;
    }
    // What it takes away, so that a day of units can be checked unit by unit.
    char digests[96];
    std::snprintf(digests, sizeof digests, ", flash-digest %016llx, parameter-digest %016llx",
                  static_cast<unsigned long long>(flash_.Digest()),
                  static_cast<unsigned long long>(parameters_.Digest()));
    present_ = false;
    pending_.clear();
    SetMode(Mode::Text, nowUs);
    hasTable_ = false;
    erasing_ = false;
    checking_ = false;
    sentence_.clear();
    request_.clear();
    LogState(nowUs, "the unit " + config_.serial + " left the line" + digests);
    if (arrivals_ < config_.nextSerials.size()) {
        // The next unit: fresh, with its own serial number.
        config_.serial = config_.nextSerials[arrivals_++];
        report_ = config_.recordReport;
        checked_ = false;
        flash_ = MemoryImage(config_.flashSize, config_.initialFill);
        parameters_ = MemoryImage(config_.parameterSize, config_.initialFill);
        faults_.ForgetBlocks();
        std::int64_t gapMs = config_.absentMs;
        if (config_.absentJitterMs > 0) {
            gapMs += static_cast<std::int64_t>(
                gapRandom_() % static_cast<std::uint64_t>(config_.absentJitterMs + 1));
        }
        Schedule(nowUs + gapMs * 1000, std::nullopt, After::Arrive, {});
    }
}

void SimulatedUnit::HangUp(std::int64_t nowUs) {
    LogState(nowUs, "hang-up: the unit has left the line");
    connected_ = false;
    pending_.clear();
}

}  // namespace sim
