#include "SimulatedUnit.h"

#include <algorithm>

#include "UnitCommand.h"
#include "UnitCrc.h"
#include "UnitSentence.h"

namespace sim {

namespace {

// Longest sentence the unit buffers ("$", body, "*hh", CR LF).
constexpr std::size_t kMaxSentence = 96;

std::string HexByte(std::uint8_t value) {
    constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

std::vector<std::uint8_t> TextBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

SimulatedUnit::SimulatedUnit(UnitConfig config)
    : config_(std::move(config)),
      report_(config_.recordReport),
      flash_(config_.flashSize, config_.initialFill),
      parameters_(config_.parameterSize, config_.initialFill),
      random_(config_.seed) {
    log_.SetKeepEntries(config_.keepLog);
    for (const FaultSpec& fault : config_.faults) {
        AddFault(fault);
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

// --- ISerialPeer ------------------------------------------------------------

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
                LogState(nowUs, "memory check finished, record report " + HexByte(report_));
                if (config_.stayMs >= 0) {
                    Schedule(nowUs + config_.stayMs * 1000, std::nullopt, After::Leave, {});
                }
                break;
            case After::Leave:
                present_ = false;
                SetMode(Mode::Text, nowUs);
                hasTable_ = false;
                sentence_.clear();
                request_.clear();
                LogState(nowUs, "the unit left the line");
                if (arrivals_ < config_.nextSerials.size()) {
                    // The next unit: fresh, with its own serial number.
                    config_.serial = config_.nextSerials[arrivals_++];
                    report_ = config_.recordReport;
                    flash_ = MemoryImage(config_.flashSize, config_.initialFill);
                    parameters_ = MemoryImage(config_.parameterSize, config_.initialFill);
                    blockAddresses_[0].clear();
                    blockAddresses_[1].clear();
                    Schedule(nowUs + config_.absentMs * 1000, std::nullopt, After::Arrive, {});
                }
                break;
            case After::Arrive:
                Arrive(nowUs);
                break;
        }
    }
    return out;
}

// --- Text mode --------------------------------------------------------------

void SimulatedUnit::OnTextBytes(std::span<const std::uint8_t> bytes, std::int64_t nowUs) {
    std::vector<std::uint8_t> stray;
    for (const std::uint8_t b : bytes) {
        if (!connected_) {
            return;
        }
        if (b == '$') {
            if (!sentence_.empty()) {
                log_.AddDropped(nowUs, sentence_, kTextBaud, "sentence cut off by a new one");
            }
            sentence_.assign(1, b);
            continue;
        }
        if (sentence_.empty()) {
            stray.push_back(b);
            continue;
        }
        sentence_.push_back(b);
        if (b == '\n') {
            std::vector<std::uint8_t> raw;
            raw.swap(sentence_);
            OnSentence(raw, nowUs);
        } else if (sentence_.size() > kMaxSentence) {
            log_.AddDropped(nowUs, sentence_, kTextBaud, "sentence too long");
            sentence_.clear();
        }
    }
    if (!stray.empty()) {
        log_.AddDropped(nowUs, stray, kTextBaud, "text outside a sentence");
    }
}

void SimulatedUnit::OnSentence(const std::vector<std::uint8_t>& raw, std::int64_t nowUs) {
    LogEntry heard;
    heard.timeUs = nowUs;
    heard.kind = LogEntry::Kind::HostSentence;
    heard.raw = raw;
    heard.baud = kTextBaud;
    const auto fields = UnitSentence::Parse(raw);
    if (!fields) {
        heard.note = "check digits wrong: ignored";
        log_.Add(std::move(heard));
        return;
    }
    RequestInfo info;
    if ((*fields)[0] == "GSHLO") {
        info.sentence = FaultSpec::Sentence::Hello;
    } else if ((*fields)[0] == "GSLNK") {
        info.sentence = FaultSpec::Sentence::Link;
    } else {
        heard.note = "unknown sentence: ignored";
        log_.Add(std::move(heard));
        return;
    }
    if (checking_) {
        heard.note = "memory check in progress: no answer";
        log_.Add(std::move(heard));
        return;
    }
    log_.Add(std::move(heard));

    const FaultSpec* fault = FireFault(info, nowUs);
    const auto kind = fault ? fault->kind : FaultSpec::Kind::NoReply;
    if (fault && kind == FaultSpec::Kind::HangUp) {
        HangUp(nowUs);
        return;
    }
    if (fault && kind == FaultSpec::Kind::NoReply) {
        return;
    }
    const bool hello = *info.sentence == FaultSpec::Sentence::Hello;
    const bool refused = fault && kind == FaultSpec::Kind::Refused;
    std::string body = (refused ? "ASNAK," : "ASACK,") + config_.serial;
    if (hello) {
        body += "," + (checked_ && !config_.finalReportField.empty() ? config_.finalReportField
                                                                     : HexByte(report_));
    }
    LogEntry said;
    said.kind = LogEntry::Kind::UnitSentence;
    said.raw = fault && kind == FaultSpec::Kind::Garbled ? UnitSentence::BuildGarbled(body)
                                                         : UnitSentence::Build(body);
    said.baud = kTextBaud;
    if (fault) {
        said.note = fault->Describe();
    }
    std::int64_t dueUs = nowUs + config_.textReplyUs;
    if (fault && kind == FaultSpec::Kind::Late) {
        const std::int64_t delayMs = fault->delayMs >= 0 ? fault->delayMs : 300 + 500;
        dueUs = std::max(dueUs, nowUs + delayMs * 1000);
    }
    Transmission tx{said.raw, kTextBaud};
    Schedule(dueUs, std::move(tx), !hello && !refused ? After::EnterBinary : After::Nothing,
             std::move(said));
}

// --- Binary mode ------------------------------------------------------------

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

std::size_t SimulatedUnit::WholeMessageLength(std::span<const std::uint8_t> bytes, int hostBaud,
                                              std::int64_t nowUs) const {
    if (!connected_ || !present_ || erasing_ || hostBaud != Baud()) {
        return 0;
    }
    if (mode_ == Mode::Text) {
        // The sentence being received, or one that starts with these bytes.
        std::vector<std::uint8_t> sentence = sentence_;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (bytes[i] == '$' && !sentence.empty()) {
                return 0;  // a new sentence cuts this one off
            }
            if (bytes[i] != '$' && sentence.empty()) {
                return 0;  // bytes outside a sentence
            }
            sentence.push_back(bytes[i]);
            if (bytes[i] == '\n') {
                return UnitSentence::Parse(sentence) ? i + 1 : 0;
            }
            if (sentence.size() > kMaxSentence) {
                return 0;
            }
        }
        return 0;
    }
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

    RequestInfo info;
    info.code = code;
    info.hasReply = code != UnitCommand::kRST;
    info.acceptedStatus = UnitCommand::AcceptedStatus(code);
    if (code == UnitCommand::kParameterWrite || code == UnitCommand::kFlashWrite) {
        const std::uint32_t address = (static_cast<std::uint32_t>(plain[2]) << 16) |
                                      (static_cast<std::uint32_t>(plain[3]) << 8) | plain[4];
        info.address = address;
        info.block = BlockNumber(code, address);
    }
    const FaultSpec* fault = FireFault(info, nowUs);
    const auto kind = fault ? fault->kind : FaultSpec::Kind::NoReply;
    if (fault && kind == FaultSpec::Kind::HangUp) {
        HangUp(nowUs);
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

SimulatedUnit::Reply SimulatedUnit::Execute(int code, const std::vector<std::uint8_t>& plain,
                                            std::int64_t nowUs) {
    const std::span<const std::uint8_t> data = std::span(plain).subspan(2);
    Reply accepted{UnitCommand::AcceptedStatus(code), {}, {}};
    const auto refused = [](std::string why) { return Reply{kRefused, {}, std::move(why)}; };
    switch (code) {
        case UnitCommand::kAttach: {
            if (!UnitCodec::IsRollingHead(plain[0])) {
                return refused("Attach must use the rolling key");
            }
            if (!UnitCrc::Intact(data)) {
                return refused("link table CRC wrong");
            }
            std::copy(data.begin(), data.end(), table_.begin());
            hasTable_ = true;
            return accepted;
        }
        case UnitCommand::kSTS:
            accepted.payload = {report_};
            return accepted;
        case UnitCommand::kRST: {
            SetMode(Mode::Text, nowUs);
            checking_ = true;
            LogState(nowUs, "memory check started");
            Schedule(nowUs + config_.checkMs * 1000, std::nullopt, After::EndCheck, {});
            return accepted;
        }
        case UnitCommand::kQID: {
            accepted.payload = TextBytes(config_.serial);
            auto trailer = UnitCrc::Trailer(accepted.payload);
            if (config_.identityCrcWrong) {
                trailer[0] ^= 0x01;
            }
            accepted.payload.insert(accepted.payload.end(), trailer.begin(), trailer.end());
            return accepted;
        }
        case UnitCommand::kUnitID:
            accepted.payload = TextBytes(config_.serial);
            return accepted;
        case UnitCommand::kVPGM:
            accepted.payload = TextBytes(config_.programVersion);
            return accepted;
        case UnitCommand::kVMAP:
            accepted.payload = TextBytes(config_.dataVersion);
            return accepted;
        case UnitCommand::kVSND:
            accepted.payload = TextBytes(config_.soundVersion);
            return accepted;
        case UnitCommand::kSRdy:
        case UnitCommand::kSSup:
        case UnitCommand::kFNull:
        case UnitCommand::kUserOpt:
            return accepted;
        case UnitCommand::kSSecu1: {
            const auto expected = UnitCrc::Trailer(TextBytes(config_.serial));
            if (!std::equal(data.begin(), data.end(), expected.begin(), expected.end())) {
                return refused("security code is not the CRC of the serial number");
            }
            return accepted;
        }
        case UnitCommand::kSSecu2:
            if (!hasTable_ ||
                !std::equal(data.begin(), data.end(), table_.begin() + 4, table_.begin() + 8)) {
                return refused("security code is not part of the link table");
            }
            return accepted;
        case UnitCommand::kFErs: {
            flash_.Fill(0xFF);
            parameters_.Fill(0xFF);
            blockAddresses_[0].clear();
            blockAddresses_[1].clear();
            erasing_ = true;
            request_.clear();
            LogState(nowUs, "erase started");
            Schedule(nowUs + config_.eraseMs * 1000, std::nullopt, After::EndErase, {});
            return accepted;
        }
        case UnitCommand::kParameterWrite:
        case UnitCommand::kFlashWrite:
            return Write(code, plain);
        default:
            return refused("command not supported");
    }
}

SimulatedUnit::Reply SimulatedUnit::Write(int code, const std::vector<std::uint8_t>& plain) {
    // plain: head, code, address (3 bytes), length, data; the layout has
    // already made sure that all of it is there.
    const std::uint32_t address = (static_cast<std::uint32_t>(plain[2]) << 16) |
                                  (static_cast<std::uint32_t>(plain[3]) << 8) | plain[4];
    const std::span<const std::uint8_t> data = std::span(plain).subspan(6, plain[5]);
    const bool flash = code == UnitCommand::kFlashWrite;
    const bool stored = flash ? flash_.Program(address, data) : parameters_.Write(address, data);
    if (!stored) {
        return Reply{
            kRefused, {}, flash ? "outside the flash memory" : "outside the parameter memory"};
    }
    return Reply{UnitCommand::AcceptedStatus(code), {}, {}};
}

// --- Faults -----------------------------------------------------------------

const FaultSpec* SimulatedUnit::FireFault(const RequestInfo& request, std::int64_t nowUs) {
    const FaultSpec* fired = nullptr;
    for (FaultState& state : faults_) {
        const FaultSpec& spec = state.spec;
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
                 spec.kind != FaultSpec::Kind::Deaf) ||
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
        log_.Add(std::move(entry));
    }
    return fired;
}

int SimulatedUnit::BlockNumber(int code, std::uint32_t address) {
    std::vector<std::uint32_t>& seen = blockAddresses_[code == UnitCommand::kFlashWrite ? 1 : 0];
    const auto it = std::find(seen.begin(), seen.end(), address);
    if (it != seen.end()) {
        return static_cast<int>(it - seen.begin()) + 1;
    }
    seen.push_back(address);
    return static_cast<int>(seen.size());
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

void SimulatedUnit::HangUp(std::int64_t nowUs) {
    LogState(nowUs, "hang-up: the unit has left the line");
    connected_ = false;
    pending_.clear();
}

}  // namespace sim
