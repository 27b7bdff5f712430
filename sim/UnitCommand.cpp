#include "UnitCommand.h"

#include <array>
#include <cctype>
#include <charconv>

namespace sim {

namespace {

struct NamedCode {
    int code;
    std::string_view name;
};

constexpr std::array<NamedCode, 15> kNames{{
    {UnitCommand::kAttach, "Attach"},
    {UnitCommand::kSTS, "STS"},
    {UnitCommand::kRST, "RST"},
    {UnitCommand::kSRdy, "SRdy"},
    {UnitCommand::kQID, "QID"},
    {UnitCommand::kVPGM, "VPGM"},
    {UnitCommand::kVMAP, "VMAP"},
    {UnitCommand::kVSND, "VSND"},
    {UnitCommand::kSSup, "SSup"},
    {UnitCommand::kSSecu1, "SSecu1"},
    {UnitCommand::kSSecu2, "SSecu2"},
    {UnitCommand::kFErs, "FErs"},
    {UnitCommand::kFNull, "FNull"},
    {UnitCommand::kUnitID, "UnitID"},
    {UnitCommand::kUserOpt, "UserOpt"},
}};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace

UnitCommand::Layout UnitCommand::LayoutOf(int code) {
    switch (code) {
        case 1:
        case 2:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 14:
        case 41:
        case 42:
            return Layout::Plain;
        case 0:
        case 9:
        case 10:
        case 11:
        case 15:
            return Layout::Table;
        case 48:
        case 49:
        case 50:
        case 51:
            return Layout::Write;
        case 52:
        case 53:
        case 54:
        case 55:
            return Layout::Read;
        default:
            return Layout::Unknown;
    }
}

std::size_t UnitCommand::TableLength(int code) {
    switch (code) {
        case kAttach:
        case kSSup:
            return 16;
        case kSSecu1:
            return 2;
        case kSSecu2:
            return 4;
        case kFNull:
            return 64;
        default:
            return 0;
    }
}

std::string UnitCommand::Name(int code) {
    for (const NamedCode& entry : kNames) {
        if (entry.code == code) {
            return std::string(entry.name);
        }
    }
    return std::to_string(code);
}

std::optional<int> UnitCommand::FromName(std::string_view text) {
    for (const NamedCode& entry : kNames) {
        if (SameIgnoringCase(entry.name, text)) {
            return entry.code;
        }
    }
    int value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 0 ||
        value > 255) {
        return std::nullopt;
    }
    return value;
}

std::uint8_t UnitCommand::AcceptedStatus(int code) {
    switch (code) {
        case kAttach:
            return 0x08;
        case kVMAP:
        case kSSecu1:
        case kSSecu2:
        case kFErs:
        case kParameterWrite:
        case kFlashWrite:
            return 0x02;
        default:
            return 0x00;
    }
}

std::int64_t UnitCommand::HostTimeOutMs(int code) {
    switch (code) {
        case 0:
        case 33:
        case 34:
        case 48:
        case 50:
        case 51:
            return 2000;
        case kRST:
            return -1;
        case kFErs:
            return 55000;
        default:
            return 300;
    }
}

}  // namespace sim
