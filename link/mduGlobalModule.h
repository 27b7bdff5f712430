#pragma once

// Shared byte, text and checksum procedures and the tables behind them.
//
// Every procedure takes bytes that may come from a damaged file or a faulty
// unit: none reads or writes outside the arrays it is given, and none throws.
// Ranges that do not fit give the failure value stated at each procedure.
//
// Text here is a byte string: one char per byte, as the unit and the data
// files use it (plain ASCII in practice). Operator texts never pass through
// these procedures.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace mduGlobalModule {

using Bytes = std::vector<std::uint8_t>;
using ByteSpan = std::span<const std::uint8_t>;

// --- Module tables -------------------------------------------------------

// Fills the two CRC-16/MODBUS lookup tables and the fixed table. Runs once at
// program start, before anything else uses them.
void InitGlobalTables();
// Releases the tables; the CRC procedures then report a fault.
void EraseGlobalTables();
bool GlobalTablesReady();

// Entry n of the reflected 0xA001 table: auchCRCHi[n] is its low byte,
// auchCRCLo[n] its high byte (also the key stream of the data file).
const std::array<std::uint8_t, 256>& auchCRCHi();
const std::array<std::uint8_t, 256>& auchCRCLo();

// --- CRC-16/MODBUS ----------------------------------------------------------

// Runs the CRC over at most vLen bytes of puchMsg (never past its end).
// first is the byte sent first (low byte of the conventional CRC value),
// second the byte sent after it. True when both registers end at zero, i.e.
// the bytes were a record with its own CRC at the end.
// Without tables: shows "程式運作異常<SumOperation> : " and returns False.
bool SumOperation(ByteSpan puchMsg, std::int32_t vLen, std::uint8_t& first, std::uint8_t& second);

// CRC of length bytes from start (length below 1: to the end). Start and
// length are 32-bit so that whole data file sections can be checked. High byte of
// the result is the first CRC byte, low byte the second. A range that does not
// fit the array is cut at its end; a start past the end covers no bytes.
std::uint16_t GetCrc16(ByteSpan bytes, std::int32_t start = 0, std::int32_t length = 0);

// True when the range (as GetCrc16 takes it) is a record with its CRC at the
// end. An empty array or a range past the end is simply not intact.
bool CheckCrc16(ByteSpan bytes, std::int32_t start = 0, std::int32_t length = 0);

// --- Text sentences ---------------------------------------------------------

// "$" + body + "*" + two upper-case hex digits + CR LF, from "GSHLO", "$GSHLO"
// or "$GSHLO*00" (surrounding spaces removed).
Bytes BuildSentence(std::string_view text);

// The body's fields split at ",", or an empty array for a malformed sentence
// or one with a wrong check value. `fault` tells a malformed or mismatching
// sentence apart from a well-formed one with an empty body.
std::vector<std::string> ParseSentence(ByteSpan bytes);
std::vector<std::string> ParseSentence(ByteSpan bytes, bool& fault);

// --- Arrays and bytes -------------------------------------------------------

std::int32_t ArrayCount(ByteSpan bytes);

// destination[destStart + i] = source[sourceStart + i] for i in [0, count).
// Copies nothing and returns false when either range does not fit.
bool CopyArray(ByteSpan source, std::int32_t sourceStart, std::span<std::uint8_t> destination,
               std::int32_t destStart, std::int32_t count);

// Stores value (as a byte) at index when the index is inside the array, and
// returns index + 1 either way, so that a fixed layout keeps its positions.
// Any index is allowed: one outside the array (negative or past the end)
// stores nothing. INT32_MAX has no next position and is returned as it is
// (saturated), so a walk that reaches it stays there, outside the array.
std::int32_t PutByte(std::span<std::uint8_t> bytes, int value, std::int32_t index);
// PutByte of every source byte in order; the index after the last one
// (saturated at INT32_MAX as in PutByte).
std::int32_t PutBytes(std::span<std::uint8_t> destination, ByteSpan source, std::int32_t index);

// The byte at index (0 when outside the array); index advances by one, and
// stays at INT32_MAX once there (as in PutByte).
std::uint8_t GetByte(ByteSpan bytes, std::int32_t& index);
// count bytes from index, index advanced by count. count below 1, or a range
// that does not fit, gives an empty array and leaves the index alone.
Bytes GetBytes(ByteSpan bytes, std::int16_t count, std::int32_t& index);

// One byte per character, in order.
Bytes TextToBytes(std::string_view text);
// Characters of the bytes from start to the end; empty when start is at or
// past the end (or negative).
std::string BytesToText(ByteSpan bytes, std::int32_t start = 0);

// --- Text fields ------------------------------------------------------------

std::string PadLeftZero(std::string_view text, std::int16_t width);
std::string PadRightZero(std::string_view text, std::int16_t width);
std::string PadLeftSpace(std::string_view text, std::int16_t width);
std::string PadRightSpace(std::string_view text, std::int16_t width);
// Pads as chosen, then keeps the last `width` characters.
std::string FormatFixedWidth(std::string_view text, std::int16_t width, bool padWithSpaces,
                             bool padOnLeft);

// --- Bits and sums ----------------------------------------------------------

bool IsBitSet(std::uint8_t value, std::uint8_t mask);
std::uint8_t SetBits(std::uint8_t value, bool set, std::uint8_t mask);
std::uint8_t SwapNibbles(std::uint8_t value);
// (1 - sum of the first `length` bytes) mod 256, exact for any number of
// bytes; length below 1 or beyond the array: the whole array.
std::uint8_t SumComplement(ByteSpan bytes, std::int16_t length = 0);
bool IsSumValid(ByteSpan bytes, std::int16_t length = 0);
std::uint8_t XorCrcLoByte(std::uint8_t index, std::uint8_t value);

// Compares the last run of digits of each text: 1, -1 or 0. Nothing when a
// run does not fit a signed 32-bit number (the versions cannot be compared).
std::optional<int> CompareVersionText(std::string_view a, std::string_view b);

// A copy of the 16-byte fixed table.
Bytes GetFixedTable();

}  // namespace mduGlobalModule
