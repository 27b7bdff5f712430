#pragma once

#include <string>
#include <string_view>

// Text from outside (a unit's serial number, a file's own words) as it may
// reach a terminal: every control character shown as an escape, so that
// none moves the cursor, sets a title or clears the screen, and no line
// break forges a line. Shown as escapes: C0 controls and DEL (\n \r \t \e,
// else \xHH), C1 controls and the Unicode line separators and direction
// overrides (\uHHHH), bytes that are not UTF-8 (\xHH), and the backslash
// itself (\\), so that a text never looks like another. The rest, Chinese
// included, is as it was.
namespace TerminalText {

std::string Escaped(std::string_view text);

}  // namespace TerminalText
