#pragma once

#include <string>
#include <string_view>

// Quoting of texts for the data file tool's JSON output.
class JsonText {
  public:
    // A UTF-8 text as a JSON string: quotes, backslashes and control
    // characters escaped, everything else as it is.
    static std::string Utf8(std::string_view text);
    // A byte string from a data file (one char per byte) as a JSON string:
    // printable ASCII as it is, every other byte as \u00XX.
    static std::string Bytes(std::string_view text);
};
