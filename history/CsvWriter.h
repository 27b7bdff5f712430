#pragma once

#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as spreadsheets read them: a field with a comma,
// a double quote or a line break is quoted, its quotes doubled; rows end
// with CR LF. The file starts with the UTF-8 byte-order mark, by which a
// spreadsheet knows the texts are UTF-8 (the Chinese ones included).
class CsvWriter {
  public:
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

    static std::string Row(const std::vector<std::string>& fields);
};
