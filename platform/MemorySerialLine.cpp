#include "MemorySerialLine.h"

#include "LineSettings.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

std::string PortName(int port) {
    return "COM" + std::to_string(port);
}

}  // namespace

MemorySerialLine::MemorySerialLine(VirtualClock& clock) : clock_(clock) {
    for (int port = 1; port <= 16; ++port) {
        existingPorts_.insert(port);
    }
}

MemorySerialLine::~MemorySerialLine() {
    *alive_ = false;
    if (pollHandle_ != 0) {
        clock_.Cancel(pollHandle_);
    }
    for (const Chunk& chunk : output_) {
        clock_.Cancel(chunk.handle);
    }
}

void MemorySerialLine::AttachPeer(ISerialPeer* peer) {
    peer_ = peer;
    ReschedulePoll();
}

std::int64_t MemorySerialLine::WireTimeUs(std::int64_t count, int baud) {
    if (count <= 0 || baud <= 0) {
        return 0;
    }
    return (count * 10 * 1000000 + baud - 1) / baud;
}

std::uint8_t MemorySerialLine::Garble(std::uint8_t byte) {
    // Never the byte itself: the two sides would have to agree on bit 0 and
    // on its inverse at once.
    return static_cast<std::uint8_t>(~byte ^ (byte << 1));
}

void MemorySerialLine::Log(const std::string& name, const std::string& value) {
    writeLog_.push_back(name + "=" + value);
}

// --- Properties --------------------------------------------------------------

void MemorySerialLine::SetCommPort(int port) {
    Log("CommPort", std::to_string(port));
    if (open_) {
        throw SerialControlError(PortName(commPort_) +
                                 ": the port number cannot change while the port is open");
    }
    if (port < 1) {
        throw SerialControlError("Invalid port number " + std::to_string(port));
    }
    commPort_ = port;
}

void MemorySerialLine::SetSettings(const std::string& settings) {
    Log("Settings", settings);
    const auto parsed = LineSettings::Parse(settings);
    if (!parsed) {
        throw SerialControlError("Invalid line settings \"" + settings + "\"");
    }
    settings_ = settings;
    baud_ = parsed->baud;
}

void MemorySerialLine::SetPortOpen(bool open) {
    Log("PortOpen", open ? "1" : "0");
    goneReason_.clear();
    if (!open) {
        if (!open_) {
            return;
        }
        DiscardOutput();
        input_.clear();
        open_ = false;
        ++session_;
        receivePending_ = false;
        return;
    }
    if (open_) {
        throw SerialControlError(PortName(commPort_) + ": the port is already open");
    }
    if (existingPorts_.count(commPort_) == 0) {
        throw SerialControlError(PortName(commPort_) + ": no such port", PortFault::NoDevice);
    }
    if (auto failure = openFailures_.find(commPort_); failure != openFailures_.end()) {
        throw SerialControlError(failure->second.first, failure->second.second);
    }
    if (PeerHere() && !peer_->Connected()) {
        throw SerialControlError(PortName(commPort_) + ": the device has been removed",
                                 PortFault::NoDevice);
    }
    open_ = true;
    ++session_;
    receivePending_ = false;
    input_.clear();
    txFreeAtUs_ = clock_.NowUs();
}

void MemorySerialLine::SetInBufferSize(int size) {
    Log("InBufferSize", std::to_string(size));
    options_.inBufferSize = size;
}

void MemorySerialLine::SetOutBufferSize(int size) {
    Log("OutBufferSize", std::to_string(size));
    options_.outBufferSize = size;
}

void MemorySerialLine::SetInBufferCount(int count) {
    Log("InBufferCount", std::to_string(count));
    if (count == 0) {
        input_.clear();
    }
}

int MemorySerialLine::OutBufferCount() const {
    std::size_t waiting = 0;
    for (const Chunk& chunk : output_) {
        waiting += chunk.bytes.size();
    }
    if (!output_.empty()) {
        waiting -= BytesOnTheWire(output_.front());
    }
    return static_cast<int>(waiting);
}

void MemorySerialLine::SetOutBufferCount(int count) {
    Log("OutBufferCount", std::to_string(count));
    if (count == 0) {
        DiscardOutput();
    }
}

void MemorySerialLine::SetInputMode(int mode) {
    Log("InputMode", std::to_string(mode));
    options_.inputMode = mode;
}

void MemorySerialLine::SetRThreshold(int threshold) {
    Log("RThreshold", std::to_string(threshold));
    options_.rThreshold = threshold;
}

void MemorySerialLine::SetSThreshold(int threshold) {
    Log("SThreshold", std::to_string(threshold));
    options_.sThreshold = threshold;
}

void MemorySerialLine::SetParityReplace(const std::string& text) {
    Log("ParityReplace", text);
    options_.parityReplace = text;
}

void MemorySerialLine::SetDTREnable(bool enable) {
    Log("DTREnable", enable ? "1" : "0");
    options_.dtrEnable = enable;
}

void MemorySerialLine::SetNullDiscard(bool discard) {
    Log("NullDiscard", discard ? "1" : "0");
    options_.nullDiscard = discard;
}

void MemorySerialLine::SetEOFEnable(bool enable) {
    Log("EOFEnable", enable ? "1" : "0");
    options_.eofEnable = enable;
}

void MemorySerialLine::SetHandshaking(int mode) {
    Log("Handshaking", std::to_string(mode));
    options_.handshaking = mode;
}

void MemorySerialLine::SetOpenFailure(int port, std::string description, PortFault kind) {
    openFailures_[port] = {std::move(description), kind};
}

// --- Host to peer ------------------------------------------------------------

std::vector<std::uint8_t> MemorySerialLine::Input() {
    std::vector<std::uint8_t> bytes(input_.begin(), input_.end());
    input_.clear();
    return bytes;
}

void MemorySerialLine::Output(std::span<const std::uint8_t> bytes) {
    Log("Output", std::to_string(bytes.size()) + " bytes");
    if (!open_) {
        if (!goneReason_.empty()) {
            throw SerialControlError(goneReason_, PortFault::Gone);
        }
        throw SerialControlError(PortName(commPort_) + ": the port is not open");
    }
    if (PeerHere() && !peer_->Connected()) {
        // An adapter pulled out: the port is still open, but writes fail.
        throw SerialControlError(PortName(commPort_) + ": the device has been removed",
                                 PortFault::Gone);
    }
    writes_.emplace_back(bytes.begin(), bytes.end());
    if (bytes.empty()) {
        // Nothing to send: the buffer is as drained as it gets.
        if (output_.empty()) {
            PostSendNotice();
        }
        return;
    }
    const std::int64_t now = clock_.NowUs();
    Chunk chunk;
    chunk.bytes.assign(bytes.begin(), bytes.end());
    chunk.startUs = std::max(now, txFreeAtUs_);
    chunk.baud = baud_;
    txFreeAtUs_ = chunk.startUs + WireTimeUs(static_cast<std::int64_t>(bytes.size()), baud_);
    std::weak_ptr<bool> alive = alive_;
    chunk.handle = clock_.ScheduleAfterUs(txFreeAtUs_ - now, [this, alive] {
        if (auto flag = alive.lock(); flag && *flag) {
            ChunkSent();
        }
    });
    output_.push_back(std::move(chunk));
}

std::size_t MemorySerialLine::BytesOnTheWire(const Chunk& chunk) const {
    const std::int64_t elapsed = clock_.NowUs() - chunk.startUs;
    if (elapsed <= 0) {
        return 0;
    }
    const auto sent = static_cast<std::size_t>(elapsed * chunk.baud / (10 * 1000000));
    return std::min(sent, chunk.bytes.size());
}

void MemorySerialLine::DiscardOutput() {
    if (output_.empty()) {
        return;
    }
    // Bytes that have already left the port cannot be called back.
    const Chunk& front = output_.front();
    const std::size_t sent = BytesOnTheWire(front);
    std::vector<std::uint8_t> gone(front.bytes.begin(),
                                   front.bytes.begin() + static_cast<std::ptrdiff_t>(sent));
    const int baud = front.baud;
    for (const Chunk& chunk : output_) {
        clock_.Cancel(chunk.handle);
    }
    output_.clear();
    txFreeAtUs_ = clock_.NowUs();
    if (!gone.empty()) {
        HandToPeer(gone, baud);
    }
}

void MemorySerialLine::ChunkSent() {
    if (output_.empty()) {
        return;
    }
    Chunk chunk = std::move(output_.front());
    output_.pop_front();
    HandToPeer(chunk.bytes, chunk.baud);
    if (PeerHere() && !peer_->Connected()) {
        // The device went away with the write (a unit pulled out as a frame
        // leaves): the port loses it, as the platform control closes a port
        // whose device has gone, and the write is never reported as sent.
        SetPortOpen(false);
        goneReason_ = PortName(commPort_) + ": the device has been removed";
        return;
    }
    if (output_.empty()) {
        PostSendNotice();
    }
}

void MemorySerialLine::PostSendNotice() {
    if (!open_ || options_.sThreshold < 1) {
        return;
    }
    Post(sendDelayUs_, [this] {
        Notify(kEventSend);
        // Bytes that came in while the sender was still waiting for this
        // notice were ignored; offer them again.
        CheckReceiveLevel();
    });
}

void MemorySerialLine::HandToPeer(std::span<const std::uint8_t> bytes, int baud) {
    if (!PeerHere() || !peer_->Connected()) {
        return;
    }
    peer_->OnHostBytes(bytes, baud, clock_.NowUs());
    ReschedulePoll();
}

// --- Peer to host ------------------------------------------------------------

void MemorySerialLine::ReschedulePoll() {
    if (pollHandle_ != 0) {
        clock_.Cancel(pollHandle_);
        pollHandle_ = 0;
    }
    if (peer_ == nullptr) {
        return;
    }
    const std::int64_t due = peer_->NextDueUs();
    if (due < 0) {
        return;
    }
    std::weak_ptr<bool> alive = alive_;
    pollHandle_ = clock_.ScheduleAfterUs(due - clock_.NowUs(), [this, alive] {
        if (auto flag = alive.lock(); flag && *flag) {
            pollHandle_ = 0;
            PollPeer();
        }
    });
}

void MemorySerialLine::PollPeer() {
    if (peer_ == nullptr) {
        return;
    }
    const std::int64_t now = clock_.NowUs();
    std::weak_ptr<bool> alive = alive_;
    for (ISerialPeer::Transmission& tx : peer_->Poll(now)) {
        if (tx.bytes.empty() || tx.baud <= 0) {
            continue;
        }
        const std::int64_t start = std::max(now, peerTxFreeAtUs_);
        for (std::size_t i = 0; i < tx.bytes.size(); ++i) {
            const std::int64_t due = start + WireTimeUs(static_cast<std::int64_t>(i) + 1, tx.baud);
            clock_.ScheduleAfterUs(due - now, [this, alive, byte = tx.bytes[i], baud = tx.baud] {
                if (auto flag = alive.lock(); flag && *flag) {
                    ByteFromPeer(byte, baud);
                }
            });
        }
        peerTxFreeAtUs_ = start + WireTimeUs(static_cast<std::int64_t>(tx.bytes.size()), tx.baud);
    }
    ReschedulePoll();
}

void MemorySerialLine::ByteFromPeer(std::uint8_t byte, int baud) {
    if (!PeerHere() || !peer_->Connected() || !open_) {
        return;
    }
    StoreInput(baud == baud_ ? byte : Garble(byte));
}

void MemorySerialLine::InjectInput(std::span<const std::uint8_t> bytes) {
    if (!open_) {
        return;
    }
    for (std::uint8_t byte : bytes) {
        StoreInput(byte);
    }
}

void MemorySerialLine::StoreInput(std::uint8_t byte) {
    if (static_cast<int>(input_.size()) >= options_.inBufferSize) {
        return;  // overrun: the byte is lost
    }
    input_.push_back(byte);
    CheckReceiveLevel();
}

// --- Notifications -------------------------------------------------------------

void MemorySerialLine::CheckReceiveLevel() {
    if (!open_ || receivePending_ || options_.rThreshold <= 0 ||
        static_cast<int>(input_.size()) < options_.rThreshold) {
        return;
    }
    receivePending_ = true;
    Post(0, [this] {
        receivePending_ = false;
        if (options_.rThreshold > 0 && static_cast<int>(input_.size()) >= options_.rThreshold) {
            Notify(kEventReceive);
        }
    });
}

void MemorySerialLine::Post(std::int64_t delayUs, std::function<void()> action) {
    std::weak_ptr<bool> alive = alive_;
    const std::uint64_t session = session_;
    clock_.ScheduleAfterUs(delayUs, [this, alive, session, action = std::move(action)] {
        auto flag = alive.lock();
        if (!flag || !*flag || session != session_ || !open_) {
            return;
        }
        action();
    });
}

void MemorySerialLine::Notify(int event) {
    commEvent_ = event;
    if (auto handler = onComm_) {
        handler();
    }
}

}  // namespace platform
