#include "SimulatedUnit.h"

#include <algorithm>

#include "UnitCommand.h"
#include "UnitCrc.h"

// What each binary command does to the unit and its memories, and the status
// and payload it answers with.

namespace sim {

namespace {

std::vector<std::uint8_t> TextBytes(const std::string& text) {
    return {text.begin(), text.end()};
}

}  // namespace

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
            faults_.ForgetBlocks();
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

}  // namespace sim
