#pragma once

#include <cstdint>

// The binary commands the request builder knows. The code is the first byte
// of a request body; the unit echoes it in byte 1 of its reply.
enum class CommandCode : std::int32_t {
    Attach = 0,  // hands the unit the run's link security table
    STS = 1,     // record report
    RST = 2,     // closing command; no reply
    SRdy = 4,
    QID = 5,   // unit identity (serial number with its own CRC)
    VPGM = 6,  // program version
    VMAP = 7,  // data version
    VSND = 8,
    SSup = 9,     // carries the fixed table
    SSecu1 = 10,  // carries the CRC of the unit identity
    SSecu2 = 11,  // carries bytes 4 to 7 of the link security table
    FErs = 14,    // erases the unit's data memory
    FNull = 15,
    UnitID = 41,
    UserOpt = 42,
    DataWrite = 49,
    ParameterWrite = 50,  // one parameter block
    FlashWrite = 51,      // one flash block
    DataRead52 = 52,
    DataRead53 = 53,
    DataRead54 = 54,
    DataRead55 = 55,
};

constexpr std::int32_t ToInt(CommandCode code) {
    return static_cast<std::int32_t>(code);
}

// Whether the builder makes a request for this code.
constexpr bool IsCatalogued(std::int32_t code) {
    switch (code) {
        case 0:
        case 1:
        case 2:
        case 4:
        case 5:
        case 6:
        case 7:
        case 8:
        case 9:
        case 10:
        case 11:
        case 14:
        case 15:
        case 41:
        case 42:
        case 49:
        case 50:
        case 51:
        case 52:
        case 53:
        case 54:
        case 55:
            return true;
        default:
            return false;
    }
}
