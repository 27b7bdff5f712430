#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

// The fields of one flat JSON object, as gpsupdate-auto writes its lines:
// string values unescaped to UTF-8, numbers, true, false and null kept as
// their text. Nested objects and arrays are not read (the line is refused).
class JsonFields {
  public:
    // The fields, or nothing when the text is not one flat JSON object.
    static std::optional<JsonFields> Parse(std::string_view text);

    bool Has(const std::string& key) const { return fields_.count(key) != 0; }
    // The value's text ("" when absent).
    std::string Text(const std::string& key) const;
    // A whole number (fractions are cut off), or `otherwise`.
    long long Number(const std::string& key, long long otherwise = 0) const;
    double Real(const std::string& key, double otherwise = 0) const;

  private:
    std::map<std::string, std::string> fields_;
};
