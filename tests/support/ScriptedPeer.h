#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "ISerialPeer.h"

// A far end for the in-memory line that answers each host frame with the
// next queued reply, after a delay, and keeps what it received.
class ScriptedPeer final : public platform::ISerialPeer {
  public:
    struct Reply {
        std::vector<std::uint8_t> bytes;
        int baud = 9600;
        std::int64_t delayUs = 0;
    };

    void QueueReply(Reply reply) { replies_.push_back(std::move(reply)); }
    void SetConnected(bool connected) { connected_ = connected; }
    // What it received, one entry per delivery.
    const std::vector<std::vector<std::uint8_t>>& Frames() const { return frames_; }

    void OnHostBytes(std::span<const std::uint8_t> bytes, int /*hostBaud*/,
                     std::int64_t nowUs) override {
        frames_.emplace_back(bytes.begin(), bytes.end());
        if (!replies_.empty()) {
            Reply reply = std::move(replies_.front());
            replies_.erase(replies_.begin());
            due_.emplace(nowUs + reply.delayUs, Transmission{reply.bytes, reply.baud});
        }
    }
    std::int64_t NextDueUs() const override { return due_.empty() ? -1 : due_.begin()->first; }
    std::vector<Transmission> Poll(std::int64_t nowUs) override {
        std::vector<Transmission> out;
        while (!due_.empty() && due_.begin()->first <= nowUs) {
            out.push_back(due_.begin()->second);
            due_.erase(due_.begin());
        }
        return out;
    }
    bool Connected() const override { return connected_; }

  private:
    std::vector<Reply> replies_;
    std::multimap<std::int64_t, Transmission> due_;
    std::vector<std::vector<std::uint8_t>> frames_;
    bool connected_ = true;
};
