#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The results a run is stored with, the words the window shows for them,
// and which stored results a filter word stands for.
namespace HistoryResults {

struct Word {
    const char* stored;   // as in the file, the CSV and --json (scripts read it)
    const char* chinese;  // as the window shows it
};

// Every result, in the order the window offers them.
const std::vector<Word>& All();

// The stored result a word names: a stored word (any case) or the window's
// Chinese word; nothing for any other text.
std::optional<std::string> FromWord(std::string_view word);

// "success, failure, ..." for a refusal.
std::string List();

// A stored word as the window shows it: a result, a run's kind or the stage
// a failure came from; any other word as it is.
std::string InChinese(const std::string& stored);

}  // namespace HistoryResults
