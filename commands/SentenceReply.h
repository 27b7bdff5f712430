#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// One reply sentence of the text dialect, read as the sequence judges it.
enum class SentenceVerdict {
    Garbled,          // framing or check digits wrong: no fields
    NoFields,         // well formed, but without a body
    Refusal,          // field 0 is not "ASACK"
    Acknowledgement,  // field 0, upper-cased, is "ASACK"
};

struct SentenceReply {
    SentenceVerdict verdict = SentenceVerdict::Garbled;
    // The body's fields, as bytes from the unit (one char per byte).
    std::vector<std::string> fields;

    bool Acknowledged() const { return verdict == SentenceVerdict::Acknowledgement; }
    // Field n, or an empty text when the reply has no such field.
    std::string Field(std::size_t n) const { return n < fields.size() ? fields[n] : std::string(); }
    bool HasField(std::size_t n) const { return n < fields.size(); }

    // Parses the received bytes (leading "$", fields, "*hh", line end).
    static SentenceReply Read(std::span<const std::uint8_t> bytes);
};
