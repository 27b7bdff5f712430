#include "HostLink.h"

#include "mduGlobalModule.h"

std::vector<std::uint8_t> HostLink::Reply::Payload() const {
    if (plain.size() <= 3) {
        return {};
    }
    return {plain.begin() + 3, plain.end()};
}

std::vector<std::uint8_t> HostLink::Request(int code, std::span<const std::uint8_t> body) {
    std::uint8_t head = random_.CurrentRandomByteData(random_.RandomInex());
    random_.SetRandomInex(static_cast<std::uint8_t>(random_.RandomInex() + 1));
    if (code == 0) {
        head = static_cast<std::uint8_t>(mduGlobalModule::SwapNibbles(head) ^ head);
    }
    return Frame(head, code, body);
}

std::vector<std::uint8_t> HostLink::WriteBody(std::uint32_t address,
                                              std::span<const std::uint8_t> data) {
    std::vector<std::uint8_t> body{
        static_cast<std::uint8_t>(address >> 16), static_cast<std::uint8_t>(address >> 8),
        static_cast<std::uint8_t>(address), static_cast<std::uint8_t>(data.size())};
    body.insert(body.end(), data.begin(), data.end());
    return body;
}

std::vector<std::uint8_t> HostLink::Frame(std::uint8_t head, int code,
                                          std::span<const std::uint8_t> body) const {
    std::vector<std::uint8_t> plain{head, static_cast<std::uint8_t>(code)};
    plain.insert(plain.end(), body.begin(), body.end());
    std::vector<std::uint8_t> frame = random_.SecurityCODEC(plain);
    const std::uint16_t crc = mduGlobalModule::GetCrc16(frame, 0, 0);
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    return frame;
}

HostLink::Reply HostLink::Decode(std::span<const std::uint8_t> frame) const {
    Reply reply;
    if (frame.size() < 3) {
        return reply;
    }
    reply.intact = mduGlobalModule::CheckCrc16(frame, 0, 0);
    reply.plain = random_.SecurityCODEC(frame.first(frame.size() - 2));
    return reply;
}
