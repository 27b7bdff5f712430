#include "HistoryResults.h"

#include <algorithm>
#include <cctype>

namespace HistoryResults {

const std::vector<Word>& All() {
    static const std::vector<Word> words = {
        {"success", "成功"}, {"failure", "失敗"},     {"cancelled", "取消"}, {"skipped", "略過"},
        {"timeout", "逾時"}, {"interrupted", "中斷"}, {"running", "進行中"},
    };
    return words;
}

std::optional<std::string> FromWord(std::string_view word) {
    std::string lower(word);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    for (const Word& w : All()) {
        if (lower == w.stored || word == w.chinese) {
            return std::string(w.stored);
        }
    }
    return std::nullopt;
}

std::vector<std::string> Matching(const std::string& stored) {
    if (stored == "failure") {
        return {"failure", "timeout", "interrupted"};
    }
    return {stored};
}

std::string List() {
    std::string list;
    for (const Word& w : All()) {
        list += (list.empty() ? "" : ", ") + std::string(w.stored) + " (" + w.chinese + ")";
    }
    return list;
}

}  // namespace HistoryResults
