#include "UnitFaults.h"

#include <algorithm>

#include "UnitCommand.h"

namespace sim {

const FaultSpec* UnitFaults::Fire(const Request& request, std::int64_t nowUs, UnitLog& log) {
    const FaultSpec* fired = nullptr;
    for (State& state : faults_) {
        const FaultSpec& spec = state.spec;
        if (spec.unit && *spec.unit != request.unit) {
            continue;
        }
        if (request.sentence) {
            if (!spec.AppliesToSentences() || spec.code || spec.block || spec.address ||
                (spec.sentence && *spec.sentence != *request.sentence)) {
                continue;
            }
        } else {
            if (!spec.AppliesToFrames() || spec.sentence ||
                (spec.code && *spec.code != request.code) ||
                (spec.block && *spec.block != request.block) ||
                (spec.address && request.address != spec.address)) {
                continue;
            }
            // Only vanishing and losing apply to a request that gets no reply
            // anyway; a missing bit needs a bit the host requires.
            if ((!request.hasReply && spec.kind != FaultSpec::Kind::HangUp &&
                 spec.kind != FaultSpec::Kind::Pulled && spec.kind != FaultSpec::Kind::Deaf) ||
                (spec.kind == FaultSpec::Kind::MissingBit && request.acceptedStatus == 0)) {
                continue;
            }
        }
        ++state.matched;
        if (state.matched <= spec.after || (spec.times > 0 && state.fired >= spec.times) ||
            fired != nullptr) {
            continue;
        }
        ++state.fired;
        fired = &spec;
    }
    if (fired) {
        LogEntry entry;
        entry.timeUs = nowUs;
        entry.kind = LogEntry::Kind::Fault;
        entry.code = request.sentence ? -1 : request.code;
        entry.note = fired->Describe();
        log.Add(std::move(entry));
    }
    return fired;
}

int UnitFaults::BlockNumber(int code, std::uint32_t address) {
    std::vector<std::uint32_t>& seen = blockAddresses_[code == UnitCommand::kFlashWrite ? 1 : 0];
    const auto it = std::find(seen.begin(), seen.end(), address);
    if (it != seen.end()) {
        return static_cast<int>(it - seen.begin()) + 1;
    }
    seen.push_back(address);
    return static_cast<int>(seen.size());
}

void UnitFaults::ForgetBlocks() {
    blockAddresses_[0].clear();
    blockAddresses_[1].clear();
}

}  // namespace sim
