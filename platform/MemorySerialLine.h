#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ISerialControl.h"
#include "ISerialPeer.h"
#include "SerialControlOptions.h"
#include "VirtualClock.h"

namespace platform {

// A serial control on an in-memory cable, timed by a VirtualClock.
//
// Every byte takes its wire time, 10 bit times at the sender's speed: the
// host's bytes at the current line setting, the peer's at the speed of each
// transmission. The peer gets the host's bytes when they have fully arrived;
// its transmissions reach the input buffer byte by byte, garbled when the
// port is set to another speed. Nothing is connected until AttachPeer.
//
// A peer that has left the line (Connected false) is a device pulled out:
// writing to the open port fails, and so does opening it again. A peer that
// leaves while a write is on its way takes the port with it: the port is
// closed, the write's send notification never comes, and the next write is
// refused with the device's removal.
//
// Notifications go through the clock, never from inside a property access:
// the send notification when the output has drained (SThreshold 1 or more),
// the receive notification when at least RThreshold bytes are waiting. The
// receive notification is level-triggered: bytes at or above the threshold
// that are still waiting after a send notification has been handled raise it
// again, so a reply that overtook the send notification is not left behind.
//
// Options nobody writes start at the values the driver's port set-up would
// give them (buffers 2048, binary input, thresholds 4 and 1, no handshaking),
// so COM1 behaves like every other port when the driver never sets it up.
class MemorySerialLine final : public ISerialControl {
  public:
    explicit MemorySerialLine(VirtualClock& clock);
    ~MemorySerialLine() override;
    MemorySerialLine(const MemorySerialLine&) = delete;
    MemorySerialLine& operator=(const MemorySerialLine&) = delete;

    // The far end of the cable; nullptr unplugs it. The peer must stay alive
    // while attached.
    void AttachPeer(ISerialPeer* peer);

    // ISerialControl
    int CommPort() const override { return commPort_; }
    void SetCommPort(int port) override;
    std::string Settings() const override { return settings_; }
    void SetSettings(const std::string& settings) override;
    bool PortOpen() const override { return open_; }
    void SetPortOpen(bool open) override;
    int InBufferSize() const override { return options_.inBufferSize; }
    void SetInBufferSize(int size) override;
    int OutBufferSize() const override { return options_.outBufferSize; }
    void SetOutBufferSize(int size) override;
    int InBufferCount() const override { return static_cast<int>(input_.size()); }
    void SetInBufferCount(int count) override;
    int OutBufferCount() const override;
    void SetOutBufferCount(int count) override;
    int InputMode() const override { return options_.inputMode; }
    void SetInputMode(int mode) override;
    int RThreshold() const override { return options_.rThreshold; }
    void SetRThreshold(int threshold) override;
    int SThreshold() const override { return options_.sThreshold; }
    void SetSThreshold(int threshold) override;
    std::string ParityReplace() const override { return options_.parityReplace; }
    void SetParityReplace(const std::string& text) override;
    bool DTREnable() const override { return options_.dtrEnable; }
    void SetDTREnable(bool enable) override;
    bool NullDiscard() const override { return options_.nullDiscard; }
    void SetNullDiscard(bool discard) override;
    bool EOFEnable() const override { return options_.eofEnable; }
    void SetEOFEnable(bool enable) override;
    int Handshaking() const override { return options_.handshaking; }
    void SetHandshaking(int mode) override;
    std::vector<std::uint8_t> Input() override;
    void Output(std::span<const std::uint8_t> bytes) override;
    int CommEvent() const override { return commEvent_; }
    void SetOnComm(std::function<void()> handler) override { onComm_ = std::move(handler); }

    // --- Test hooks ----------------------------------------------------------

    // The port number the peer is plugged into; 0 (the default) puts it
    // behind every port. On any other port nothing answers.
    void SetPeerPort(int port) { peerPort_ = port; }

    // What DescribePort tells of a port (a fake port list for tests).
    void SetPortFacts(int port, PortFacts facts) { portFacts_[port] = std::move(facts); }
    PortFacts DescribePort(int port) const override {
        const auto found = portFacts_.find(port);
        return found == portFacts_.end() ? PortFacts{} : found->second;
    }

    // Port numbers that exist (all of 1 to 16 unless told otherwise); opening
    // any other throws "COMn: no such port".
    void SetExistingPorts(std::set<int> ports) { existingPorts_ = std::move(ports); }
    // Opening this port throws with the given description until cleared.
    void SetOpenFailure(int port, std::string description, PortFault kind = PortFault::Other);
    // Extra delay between the output draining and its notification, as an
    // operating system that reports late would give.
    void SetSendNotificationDelayUs(std::int64_t us) { sendDelayUs_ = us < 0 ? 0 : us; }
    // Bytes that appear in the input buffer now, as if they had just arrived
    // at the current speed (the receive notification follows as usual).
    void InjectInput(std::span<const std::uint8_t> bytes);

    // Every property write, in order, as "Name=value" ("Settings=9600,N,8,1",
    // "PortOpen=1", "Output=11 bytes").
    const std::vector<std::string>& WriteLog() const { return writeLog_; }
    void ClearWriteLog() { writeLog_.clear(); }
    // The byte arrays handed to Output, in order.
    const std::vector<std::vector<std::uint8_t>>& Writes() const { return writes_; }

    // Microseconds from the start of the first of `count` bytes to the end of
    // the last at `baud`, 10 bit times a byte.
    static std::int64_t WireTimeUs(std::int64_t count, int baud);

  private:
    // What a byte sent at one speed reads as at another.
    static std::uint8_t Garble(std::uint8_t byte);

    struct Chunk {
        std::vector<std::uint8_t> bytes;
        std::int64_t startUs = 0;
        int baud = 9600;
        VirtualClock::Handle handle = 0;
    };

    void Log(const std::string& name, const std::string& value);
    void DiscardOutput();
    std::size_t BytesOnTheWire(const Chunk& chunk) const;
    void ChunkSent();
    void PostSendNotice();
    void HandToPeer(std::span<const std::uint8_t> bytes, int baud);
    // Whether the peer is on the port in use.
    bool PeerHere() const { return peer_ != nullptr && (peerPort_ == 0 || peerPort_ == commPort_); }
    void ReschedulePoll();
    void PollPeer();
    void ByteFromPeer(std::uint8_t byte, int baud);
    void StoreInput(std::uint8_t byte);
    void CheckReceiveLevel();
    void Post(std::int64_t delayUs, std::function<void()> action);
    void Notify(int event);

    VirtualClock& clock_;
    // Cleared on destruction: actions still queued in the clock then do nothing.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    ISerialPeer* peer_ = nullptr;
    int peerPort_ = 0;

    int commPort_ = 1;
    std::string settings_ = "9600,N,8,1";
    int baud_ = 9600;
    bool open_ = false;
    std::string goneReason_;  // why the port closed itself, until the next open or close
    SerialControlOptions options_;
    int commEvent_ = 0;
    std::function<void()> onComm_;

    std::deque<std::uint8_t> input_;
    std::deque<Chunk> output_;
    std::int64_t txFreeAtUs_ = 0;
    std::int64_t peerTxFreeAtUs_ = 0;
    VirtualClock::Handle pollHandle_ = 0;
    // Bumped on every open and close, so that a notification queued for one
    // opening is never delivered to the next.
    std::uint64_t session_ = 0;
    bool receivePending_ = false;

    std::set<int> existingPorts_;
    std::map<int, PortFacts> portFacts_;
    std::map<int, std::pair<std::string, PortFault>> openFailures_;
    std::int64_t sendDelayUs_ = 0;
    std::vector<std::string> writeLog_;
    std::vector<std::vector<std::uint8_t>> writes_;
};

}  // namespace platform
