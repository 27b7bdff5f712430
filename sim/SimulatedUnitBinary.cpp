#include "SimulatedUnit.h"

#include <algorithm>

#include "UnitCommand.h"
#include "UnitCrc.h"

// Link mode at 115200 baud: requests cut off the line by their layout, what
// the unit does with one (the faults it is told to commit included), and its
// reply frames.

namespace sim {

void SimulatedUnit::OnBinaryBytes(std::span<const std::uint8_t> bytes, std::int64_t nowUs) {
    const bool silence = SilenceBefore(nowUs);
    lastByteUs_ = nowUs;
    if (silence && !request_.empty()) {
        log_.AddDropped(nowUs, request_, kBinaryBaud, "incomplete request dropped after silence");
        request_.clear();
    }
    if (silence) {
        skipping_ = false;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!connected_) {
            return;
        }
        const auto rest = bytes.subspan(i);
        if (skipping_) {
            log_.AddDropped(nowUs, rest, kBinaryBaud, "undecodable request skipped");
            return;
        }
        if (erasing_) {
            log_.AddDropped(nowUs, rest, kBinaryBaud, "unit busy erasing");
            return;
        }
        if (mode_ != Mode::Binary) {
            log_.AddDropped(nowUs, rest, kBinaryBaud,
                            "sent at another speed than the unit's " + std::to_string(Baud()));
            return;
        }
        request_.push_back(bytes[i]);
        TakeRequest(nowUs);
    }
}

void SimulatedUnit::TakeRequest(std::int64_t nowUs) {
    std::string undecodable;
    const std::size_t need = RequestLength(request_, undecodable);
    if (!undecodable.empty()) {
        log_.AddDropped(nowUs, request_, kBinaryBaud, undecodable);
        request_.clear();
        skipping_ = true;
        return;
    }
    if (need == 0 || request_.size() < need) {
        return;
    }
    std::vector<std::uint8_t> raw;
    raw.swap(request_);
    OnRequest(raw, nowUs);
}

std::size_t SimulatedUnit::RequestLength(std::span<const std::uint8_t> buffer,
                                         std::string& undecodable) const {
    if (buffer.size() < 2) {
        return 0;
    }
    const std::uint8_t head = buffer[0];
    if (!UnitCodec::IsRollingHead(head) && !hasTable_) {
        undecodable = "table key used before Attach";
        return 0;
    }
    const int code = buffer[1] ^ UnitCodec::KeyAt(head, 1, table_);
    switch (UnitCommand::LayoutOf(code)) {
        case UnitCommand::Layout::Plain:
            return 4;
        case UnitCommand::Layout::Table:
            return 4 + UnitCommand::TableLength(code);
        case UnitCommand::Layout::Read:
            return 8;
        case UnitCommand::Layout::Write:
            if (buffer.size() < 6) {
                return 0;
            }
            return 8 + (buffer[5] ^ UnitCodec::KeyAt(head, 5, table_));
        case UnitCommand::Layout::Unknown:
            break;
    }
    undecodable = "unknown command " + std::to_string(code);
    return 0;
}

std::size_t SimulatedUnit::WholeRequestLength(std::span<const std::uint8_t> bytes,
                                              std::int64_t nowUs) const {
    const bool silence = SilenceBefore(nowUs);
    if (skipping_ && !silence) {
        return 0;
    }
    std::vector<std::uint8_t> request = silence ? std::vector<std::uint8_t>{} : request_;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        request.push_back(bytes[i]);
        std::string undecodable;
        const std::size_t need = RequestLength(request, undecodable);
        if (!undecodable.empty()) {
            return 0;
        }
        if (need != 0 && request.size() >= need) {
            return UnitCrc::Intact(request) ? i + 1 : 0;
        }
    }
    return 0;
}

void SimulatedUnit::OnRequest(const std::vector<std::uint8_t>& raw, std::int64_t nowUs) {
    LogEntry heard;
    heard.timeUs = nowUs;
    heard.kind = LogEntry::Kind::HostFrame;
    heard.readUs = requestReadUs_;
    requestReadUs_ = -1;
    heard.raw = raw;
    heard.baud = kBinaryBaud;
    const std::span<const std::uint8_t> body(raw.data(), raw.size() - 2);
    heard.plain = UnitCodec::Apply(body, table_);
    const std::vector<std::uint8_t> plain = heard.plain;
    const int code = plain[1];
    heard.code = code;
    if (!UnitCrc::Intact(raw)) {
        heard.note = "CRC wrong: ignored";
        log_.Add(std::move(heard));
        return;
    }
    log_.Add(std::move(heard));

    UnitFaults::Request info;
    info.unit = static_cast<int>(arrivals_) + 1;
    info.code = code;
    info.hasReply = code != UnitCommand::kRST;
    info.acceptedStatus = UnitCommand::AcceptedStatus(code);
    if (code == UnitCommand::kParameterWrite || code == UnitCommand::kFlashWrite) {
        const std::uint32_t address = (static_cast<std::uint32_t>(plain[2]) << 16) |
                                      (static_cast<std::uint32_t>(plain[3]) << 8) | plain[4];
        info.address = address;
        info.block = faults_.BlockNumber(code, address);
    }
    const FaultSpec* fault = faults_.Fire(info, nowUs, log_);
    const auto kind = fault ? fault->kind : FaultSpec::Kind::NoReply;
    if (fault && kind == FaultSpec::Kind::HangUp) {
        HangUp(nowUs);
        return;
    }
    if (fault && kind == FaultSpec::Kind::Pulled) {
        Leave(nowUs);
        return;
    }
    if (fault && kind == FaultSpec::Kind::Deaf) {
        return;  // lost on the line: as if it had never been sent
    }

    Reply reply = Execute(code, plain, nowUs);
    if (!info.hasReply || (fault && kind == FaultSpec::Kind::NoReply)) {
        return;
    }
    std::uint8_t status = reply.status;
    if (fault && kind == FaultSpec::Kind::BadStatus) {
        status |= fault->statusBits;
    }
    if (fault && kind == FaultSpec::Kind::MissingBit) {
        status &= static_cast<std::uint8_t>(~info.acceptedStatus);
    }
    const int echoed = fault && kind == FaultSpec::Kind::WrongCode ? (code + 1) & 0xFF : code;
    const std::uint8_t head = ChooseHead();
    const bool shortReply = fault && kind == FaultSpec::Kind::Short;

    LogEntry said;
    said.kind = LogEntry::Kind::UnitFrame;
    said.raw = EncodeReply(head, echoed, status, reply.payload, shortReply);
    said.plain.assign({head, static_cast<std::uint8_t>(echoed)});
    if (!shortReply) {
        said.plain.push_back(status);
        said.plain.insert(said.plain.end(), reply.payload.begin(), reply.payload.end());
        said.status = status;
    }
    if (fault && kind == FaultSpec::Kind::BadCrc) {
        said.raw[said.raw.size() - 2] ^= 0x5A;
    }
    said.code = echoed;
    said.baud = kBinaryBaud;
    said.note = fault ? fault->Describe() : reply.note;

    std::int64_t dueUs = nowUs + config_.binaryReplyUs;
    if (code == UnitCommand::kFErs) {
        dueUs = nowUs + config_.eraseMs * 1000;
    }
    if (fault && kind == FaultSpec::Kind::Late) {
        const std::int64_t delayMs =
            fault->delayMs >= 0 ? fault->delayMs : UnitCommand::HostTimeOutMs(code) + 500;
        dueUs = std::max(dueUs, nowUs + delayMs * 1000);
    }
    // One reply at a time, in the order of the requests: a late reply holds
    // up the ones after it, as a busy unit would.
    dueUs = std::max(dueUs, lastReplyDueUs_);
    lastReplyDueUs_ = dueUs;
    Transmission tx{said.raw, kBinaryBaud};
    if (fault && kind == FaultSpec::Kind::Twice) {
        LogEntry copy = said;
        copy.note = "copy: " + said.note;
        Schedule(dueUs, tx, After::Nothing, std::move(said));
        Schedule(dueUs, std::move(tx), After::Nothing, std::move(copy));
        return;
    }
    Schedule(dueUs, std::move(tx), After::Nothing, std::move(said));
}

// --- Replies ----------------------------------------------------------------

std::uint8_t SimulatedUnit::ChooseHead() {
    const std::uint64_t r = random_();
    const auto value = static_cast<std::uint8_t>(r >> 8);
    if (!hasTable_ || (r & 1) != 0) {
        return static_cast<std::uint8_t>((value & 0x0F) * 0x11);  // rolling key
    }
    // Table key: the two nibbles must differ.
    return UnitCodec::IsRollingHead(value) ? static_cast<std::uint8_t>(value ^ 0x01) : value;
}

std::vector<std::uint8_t> SimulatedUnit::EncodeReply(std::uint8_t head, int code,
                                                     std::uint8_t status,
                                                     const std::vector<std::uint8_t>& payload,
                                                     bool shortReply) {
    std::vector<std::uint8_t> plain{head, static_cast<std::uint8_t>(code)};
    if (!shortReply) {
        plain.push_back(status);
        plain.insert(plain.end(), payload.begin(), payload.end());
    }
    std::vector<std::uint8_t> wire = UnitCodec::Apply(plain, table_);
    const auto trailer = UnitCrc::Trailer(wire);
    wire.insert(wire.end(), trailer.begin(), trailer.end());
    return wire;
}

}  // namespace sim
