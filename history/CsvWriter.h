#pragma once

#include <string>
#include <string_view>
#include <vector>

// Comma-separated values as spreadsheets read them: a field with a comma,
// a double quote or a line break is quoted, its quotes doubled; rows end
// with CR LF. A field that begins with =, +, -, @, a tab or a carriage
// return (which a spreadsheet would take for a formula), or with an
// apostrophe, has an apostrophe put before it, which the spreadsheet shows
// as text: a script reading the file drops one leading apostrophe of any
// field to have the text as it was. The file starts with the UTF-8 byte-order mark, by which a
// spreadsheet knows the texts are UTF-8 (the Chinese ones included).
class CsvWriter {
  public:
    static constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

    static std::string Row(const std::vector<std::string>& fields);
};
