#include "UnitHarness.h"

#include <algorithm>

void UnitHarness::RunUntil(std::int64_t targetUs) {
    for (;;) {
        const std::int64_t due = unit_.NextDueUs();
        if (due < 0 || due > targetUs) {
            break;
        }
        nowUs_ = std::max(nowUs_, due);
        for (auto& tx : unit_.Poll(nowUs_)) {
            received_.push_back({nowUs_, tx.baud, std::move(tx.bytes)});
        }
    }
    nowUs_ = std::max(nowUs_, targetUs);
}

void UnitHarness::Send(std::span<const std::uint8_t> bytes, int baud, bool oneBurst) {
    if (oneBurst) {
        RunUntil(nowUs_ + ByteUs(baud) * static_cast<std::int64_t>(bytes.size()));
        unit_.OnHostBytes(bytes, baud, nowUs_);
        return;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        RunUntil(nowUs_ + ByteUs(baud));
        unit_.OnHostBytes(bytes.subspan(i, 1), baud, nowUs_);
    }
}

void UnitHarness::Advance(std::int64_t us) {
    RunUntil(nowUs_ + us);
}

std::vector<std::uint8_t> UnitHarness::AwaitReply(std::int64_t limitUs) {
    const std::int64_t endUs = nowUs_ + limitUs;
    while (received_.empty()) {
        const std::int64_t due = unit_.NextDueUs();
        if (due < 0 || due > endUs) {
            RunUntil(endUs);
            break;
        }
        RunUntil(due);
    }
    if (received_.empty()) {
        return {};
    }
    Received first = std::move(received_.front());
    received_.erase(received_.begin());
    lastReplyUs_ = first.atUs;
    return std::move(first.bytes);
}

std::vector<UnitHarness::Received> UnitHarness::TakeReceived() {
    std::vector<Received> out;
    out.swap(received_);
    return out;
}
