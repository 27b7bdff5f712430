#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// One JSON object written as one line: fields are added in order, strings
// escaped (UTF-8 passes through; control characters and invalid bytes are
// escaped, so a line is always valid JSON).
class JsonLine {
  public:
    JsonLine& Add(std::string_view key, std::string_view value);
    JsonLine& Add(std::string_view key, const char* value) {
        return Add(key, std::string_view(value));
    }
    JsonLine& Add(std::string_view key, std::int64_t value);
    JsonLine& Add(std::string_view key, int value) { return Add(key, std::int64_t{value}); }
    JsonLine& AddFixed(std::string_view key, double value, int decimals);
    JsonLine& AddBool(std::string_view key, bool value);

    // The object with its closing brace and a line feed.
    std::string Text() const { return text_ + "}\n"; }

    static std::string Quote(std::string_view text);

  private:
    void Key(std::string_view key);
    std::string text_ = "{";
};
