#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim {

// What the unit knows about each binary command code: its mnemonic, how its
// request is laid out (which tells the unit where the request ends), the
// status bits the unit sets when it accepts it, and how long the host waits
// for the reply.
class UnitCommand {
  public:
    static constexpr int kAttach = 0;
    static constexpr int kSTS = 1;
    static constexpr int kRST = 2;
    static constexpr int kSRdy = 4;
    static constexpr int kQID = 5;
    static constexpr int kVPGM = 6;
    static constexpr int kVMAP = 7;
    static constexpr int kVSND = 8;
    static constexpr int kSSup = 9;
    static constexpr int kSSecu1 = 10;
    static constexpr int kSSecu2 = 11;
    static constexpr int kFErs = 14;
    static constexpr int kFNull = 15;
    static constexpr int kUnitID = 41;
    static constexpr int kUserOpt = 42;
    static constexpr int kParameterWrite = 50;
    static constexpr int kFlashWrite = 51;

    // Request layouts after the code byte:
    //   Plain: nothing;  Table: a fixed number of data bytes (TableLength);
    //   Write: 3 address bytes (most significant first), a length byte, data;
    //   Read: 3 address bytes and a size byte.
    enum class Layout { Unknown, Plain, Table, Write, Read };

    static Layout LayoutOf(int code);
    static std::size_t TableLength(int code);
    // Mnemonic, or the code in decimal when it has none.
    static std::string Name(int code);
    // A mnemonic (any case) or a decimal code 0 to 255.
    static std::optional<int> FromName(std::string_view text);
    // Bits the unit sets in the status byte of an accepted request.
    static std::uint8_t AcceptedStatus(int code);
    // The host's reply time-out for the code in ms (-1: no reply awaited).
    static std::int64_t HostTimeOutMs(int code);
};

}  // namespace sim
