#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace sim {

// Text sentences as the unit reads and writes them at 9600 baud:
// "$" body "*" two hex check digits CR LF, the check being the XOR of every
// body byte. The body is the identifier and its fields, separated by ",".
class UnitSentence {
  public:
    static std::uint8_t Checksum(std::string_view body);
    // Two upper-case hex digits, as a sentence's field carries a byte.
    static std::string HexByte(std::uint8_t value);
    // "$" + body + "*" + upper-case check digits + CR LF.
    static std::vector<std::uint8_t> Build(std::string_view body);
    // The same with check digits that do not match the body (a damaged
    // sentence as a noisy line would deliver it).
    static std::vector<std::uint8_t> BuildGarbled(std::string_view body);
    // The fields of one sentence (from "$" to the check digits; anything after
    // them is ignored), or nothing when it is malformed or its check fails.
    // Check digits may be either case.
    static std::optional<std::vector<std::string>> Parse(std::span<const std::uint8_t> bytes);

  private:
    static std::vector<std::uint8_t> Frame(std::string_view body, std::uint8_t check);
};

}  // namespace sim
