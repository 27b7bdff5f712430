#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "clsRandom.h"
#include "mduGlobalModule.h"

// The tool's side of the binary link, built only from the tool's own
// primitives (its random source, codec and CRC), so that every exchange with
// the simulated unit also checks that the two sides agree.
class HostLink {
  public:
    struct Reply {
        bool intact = false;              // the CRC over the whole frame is zero
        std::vector<std::uint8_t> plain;  // unscrambled, without the trailer
        int Code() const { return plain.size() > 1 ? plain[1] : -1; }
        int Status() const { return plain.size() > 2 ? plain[2] : -1; }
        std::vector<std::uint8_t> Payload() const {
            if (plain.size() <= 3) {
                return {};
            }
            return {plain.begin() + 3, plain.end()};
        }
    };

    explicit HostLink(std::uint64_t seed) : random_(seed) {}

    clsRandom& Random() { return random_; }

    // A request frame under the next link random byte as head code (its
    // rolling-key form for Attach, as the tool sends it).
    std::vector<std::uint8_t> Request(int code, std::span<const std::uint8_t> body = {}) {
        std::uint8_t head = random_.CurrentRandomByteData(random_.RandomInex());
        random_.SetRandomInex(static_cast<std::uint8_t>(random_.RandomInex() + 1));
        if (code == 0) {
            head = static_cast<std::uint8_t>(mduGlobalModule::SwapNibbles(head) ^ head);
        }
        return Frame(head, code, body);
    }
    std::vector<std::uint8_t> Attach() { return Request(0, random_.SecurityTable()); }
    // Address (most significant byte first), length byte, data.
    static std::vector<std::uint8_t> WriteBody(std::uint32_t address,
                                               std::span<const std::uint8_t> data) {
        std::vector<std::uint8_t> body{
            static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
            static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(data.size())};
        body.insert(body.end(), data.begin(), data.end());
        return body;
    }
    // Any frame under a given head code.
    std::vector<std::uint8_t> Frame(std::uint8_t head, int code,
                                    std::span<const std::uint8_t> body) const {
        std::vector<std::uint8_t> plain{head, static_cast<std::uint8_t>(code)};
        plain.insert(plain.end(), body.begin(), body.end());
        std::vector<std::uint8_t> frame = random_.SecurityCODEC(plain);
        const std::uint16_t crc = mduGlobalModule::GetCrc16(frame, 0, 0);
        frame.push_back(static_cast<std::uint8_t>(crc >> 8));
        frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
        return frame;
    }
    Reply Decode(std::span<const std::uint8_t> frame) const {
        Reply reply;
        if (frame.size() < 3) {
            return reply;
        }
        reply.intact = mduGlobalModule::CheckCrc16(frame, 0, 0);
        reply.plain = random_.SecurityCODEC(frame.first(frame.size() - 2));
        return reply;
    }

  private:
    // Its codec keys with the table and changes nothing, though not const.
    mutable clsRandom random_;
};
