#pragma once

#include <string>
#include <string_view>

// Quoting of a data file's byte strings for the data file tool's JSON output
// (texts are quoted with JsonLine::Quote).
class JsonText {
  public:
    // A byte string from a data file (one char per byte) as a JSON string:
    // printable ASCII as it is, quotes, backslashes, line breaks and tabs
    // escaped, every other byte as \u00XX.
    static std::string Bytes(std::string_view text);
};
