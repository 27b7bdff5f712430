#include "CsvWriter.h"

namespace {

std::string Field(std::string_view cell) {
    // What a spreadsheet would take for a formula is shown as text.
    std::string text(cell);
    if (!text.empty() && std::string_view("=+-@\t\r'").find(text[0]) != std::string_view::npos) {
        text.insert(0, 1, '\'');
    }
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"') {
            quoted += '"';
        }
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

}  // namespace

std::string CsvWriter::Row(const std::vector<std::string>& fields) {
    std::string row;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            row += ',';
        }
        row += Field(fields[i]);
    }
    row += "\r\n";
    return row;
}
