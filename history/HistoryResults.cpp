#include "HistoryResults.h"

#include <algorithm>
#include <cctype>
#include <utility>

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

std::string List() {
    std::string list;
    for (const Word& w : All()) {
        list += (list.empty() ? "" : ", ") + std::string(w.stored) + " (" + w.chinese + ")";
    }
    return list;
}

std::string InChinese(const std::string& stored) {
    static const std::pair<const char*, const char*> words[] = {
        {"update", "資料更新"},
        {"test", "連結測試"},
        {"scan", "自動掃描"},
        {"port scan", "掃描傳輸埠"},
        {"connect", "連線"},
        {"data preparation", "資料準備"},
        {"link mode", "切換傳輸模式"},
        {"attach", "連結"},
        {"transfer set-up", "傳輸設定"},
        {"identity", "讀取序號"},
        {"record report", "紀錄報告"},
        {"program version", "程式版本"},
        {"security", "安全驗證"},
        {"data version", "資料版本"},
        {"erase", "清除資料"},
        {"flash preparation", "主資料準備"},
        {"flash transfer", "主資料傳送"},
        {"parameter preparation", "參數準備"},
        {"parameter transfer", "參數傳送"},
        {"transfer wrap-up", "傳送結束"},
        {"closing command", "結束命令"},
        {"final check", "最後檢查"},
    };
    for (const Word& w : All()) {
        if (stored == w.stored) {
            return w.chinese;
        }
    }
    for (const auto& [word, chinese] : words) {
        if (stored == word) {
            return chinese;
        }
    }
    return stored;
}

}  // namespace HistoryResults
