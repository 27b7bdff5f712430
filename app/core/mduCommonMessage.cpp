#include "mduCommonMessage.h"

#include <cstdio>
#include <initializer_list>
#include <string_view>

namespace mduCommonMessage {
namespace {

constexpr char kLineBreak[] = "\r\n";

std::string JoinLines(std::initializer_list<std::string_view> lines) {
    std::string text;
    bool first = true;
    for (std::string_view line : lines) {
        if (!first) {
            text += kLineBreak;
        }
        text += line;
        first = false;
    }
    return text;
}

std::string TwoDigits(int stage) {
    char digits[16];
    std::snprintf(digits, sizeof digits, "%02d", stage);
    return digits;
}

// Items of the restart family.
constexpr std::string_view kRestartA = "    a. 拔除連結線並等待5秒後,再重新插上連結線.";
constexpr std::string_view kRestartB =
    "    b. 檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.";
constexpr std::string_view kRestartC = "    c. 使用<開始傳送>按鍵重新執行資料更新.";

constexpr std::string_view kFollowBelow = "   依下列說明處置";
constexpr std::string_view kRescanFollowBelow = "    請依下列說明處置";
constexpr std::string_view kNoResponseTitle = "   異常狀況 : GPS沒有回應!!";

std::string RestartFamily(const std::string& title, std::string_view instruction) {
    return JoinLines({title, instruction, kRestartA, kRestartB, kRestartC});
}

constexpr std::string_view kRescanItem = "使用<自動掃描>按鍵重新連結GPS.";
constexpr std::string_view kNormalReportItem =
    "重新連結成功時, 若顯示 <GPS紀錄報告: 正常>時, 則可正常使用.";
constexpr std::string_view kAbnormalReportItem =
    "重新連結成功時, 若顯示 <GPS紀錄報告: 資料異常(照相資料記憶區)>時, 則須重新執行資料更新.";

// A title, an instruction and items lettered a, b, c, ... in order.
std::string Lettered(std::string_view title, std::string_view instruction,
                     const std::vector<std::string_view>& items) {
    std::string text = JoinLines({title, instruction});
    char letter = 'a';
    for (std::string_view item : items) {
        text += std::string(kLineBreak) + "    " + letter++ + ". " + std::string(item);
    }
    return text;
}

// The final check's rescan family: replug, reconnect, read the report.
std::string FinalCheckFamily(std::string_view title,
                             std::string_view instruction = kRescanFollowBelow) {
    return Lettered(title, instruction,
                    {"拔除連結線並等待5秒後,再重新插上連結線.",
                     "檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.", kRescanItem,
                     kNormalReportItem, kAbnormalReportItem});
}

}  // namespace

std::string LinkSetupText(int stage) {
    return "GPS連結設定(" + TwoDigits(stage) + ").";
}

std::string LinkSetupDoneText(int stage) {
    return "GPS連結設定(" + TwoDigits(stage) + ")完成.";
}

std::string RecordPart(const std::string& reportText) {
    return std::string(RecordPartPrefix) + reportText;
}

std::string LinkModeFailureText() {
    return RestartFamily("   異常狀況 : 無法切換GPS連結模式!!", kFollowBelow);
}

std::string SetupFailureText(int stage) {
    return RestartFamily("   異常狀況 : 無法完成GPS設定(" + TwoDigits(stage) + ")!!", kFollowBelow);
}

std::string EraseFailureText() {
    return RestartFamily("   異常狀況 : GPS資料清除失敗!!",
                         "   注意 : 若不重新執行資料更新, GPS可能無法使用, 請依下列說明處置");
}

std::string DataSetupFailureText(int stage) {
    return RestartFamily("   異常狀況 : 無法完成GPS資料設定(" + TwoDigits(stage) + ")!!",
                         "    注意 : 若不重新執行資料更新, GPS可能無法使用, 請依下列說明處置");
}

std::string LinkLostText() {
    return RestartFamily("   異常狀況 : GPS連線中斷, 資料更新未完成!!",
                         "    注意 : 若不重新執行資料更新, GPS可能無法使用, 請依下列說明處置");
}

std::string LinkModeLeftText(bool erased) {
    if (!erased) {
        return FinalCheckFamily(
            "   異常狀況 : GPS停留在資料傳輸模式!!",
            "    注意 : GPS資料若未被清除, 重新插上連結線即可恢復, 請依下列說明處置");
    }
    return RestartFamily("   異常狀況 : GPS仍停留在資料傳輸模式(上次資料更新未完成)!!",
                         "    注意 : GPS須重新執行資料更新才能使用, 請依下列說明處置");
}

std::string UpdatedVersionText(const std::string& now, const std::string& before) {
    return now + " (更新前 : " + before + ")";
}

std::string UnopenedPortsText(const std::vector<std::string>& ports,
                              const std::vector<std::string>& advice) {
    if (ports.empty()) {
        return Lettered("   異常狀況 : 傳輸埠(COM1 ~ COM16)都沒有連接任何裝置!!",
                        kRescanFollowBelow,
                        {"請確認連結線已插上電腦, 並等待至GPS方向指示燈旋轉閃動.", kRescanItem});
    }
    std::string title = "   異常狀況 : 無法開啟傳輸埠 ";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        title += (i == 0 ? "" : ", ") + ports[i];
    }
    std::vector<std::string_view> items(advice.begin(), advice.end());
    items.push_back(kRescanItem);
    return Lettered(title + "!!", kRescanFollowBelow, items);
}

std::string ForeignUnitText(const std::string& ownSerial, const std::string& otherSerial) {
    const std::string title = "   異常狀況 : 回應的GPS序號 (" + otherSerial +
                              ") 不是本次資料更新的GPS序號 (" + ownSerial + ")!!";
    const std::string plugIn =
        "將序號 " + ownSerial + " 的GPS插上連結線, 並等待至GPS方向指示燈旋轉閃動.";
    return Lettered(title, "    注意 : 本次資料更新的GPS沒有回報資料檢查結果, 請依下列說明處置",
                    {plugIn, kRescanItem, kNormalReportItem, kAbnormalReportItem});
}

std::string FlashTransferRemainingText(std::int64_t seconds) {
    if (seconds < 90) {
        // Whole tens of seconds, never below ten.
        const std::int64_t tens = seconds <= 10 ? 10 : (seconds + 9) / 10 * 10;
        return "資料傳送中, 大約還需要 " + std::to_string(tens) + " 秒, 請稍待.";
    }
    return "資料傳送中, 大約還需要 " + std::to_string((seconds + 30) / 60) + " 分鐘, 請稍待.";
}

std::string DataIncompleteBoxText() {
    return JoinLines({"異常狀況(GPS資料更新未完成)", " 注意 : GPS須重新執行資料更新才能使用"});
}

std::string ClosingFailureText() {
    return RestartFamily("   異常狀況 : 無法完成GPS資料設定(16)!!", kRescanFollowBelow);
}

std::string StandardNoResponseText() {
    return JoinLines({kNoResponseTitle, kRescanFollowBelow,
                      "    a. 檢查連結線是否確實插入妥當, 並等待至GPS指示燈連續閃動.",
                      "    b. GPS可能剛開機, 但尚未備妥(GPS指示燈恆亮10秒), 請稍後再重試.",
                      "    c. 若先前因資料更新失敗, 請拔除連結線並等待5秒後,再重新插上連結線.",
                      "    d. 檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.",
                      "    e. 使用<自動掃描>按鍵重新連結GPS."});
}

std::string FinalNoResponseText() {
    return FinalCheckFamily(kNoResponseTitle);
}

std::string CameraMemoryFailureText() {
    return FinalCheckFamily("   異常狀況 : GPS照相記憶區異常!!");
}

std::string ProgramVersionNotSuitedText() {
    return JoinLines({"   異常狀況 : GPS程式版本不適用於本資料檔!!", kFollowBelow,
                      "    a. 向經銷商索取正確版本之資料檔.",
                      "    b. 下載與本GPS程式版本相容之更新資料檔案."});
}

std::string NotNewerQuestionText() {
    return JoinLines({"資料檔案的版本不是較新的版本 !!",
                      " 若資料更新後GPS的警示訊息可能比現在不足,", " 您確定要資料更新嗎 ?"});
}

std::string NotNewerCancelledText() {
    return JoinLines({"   經使用者取消資料更新(不是較新的版本號碼) !!",
                      "  若要重新更新, 請依下列說明處置", "    a. 下載較新的版本的更新資料檔案.",
                      "    b. 拔除連結線並等待5秒後,再重新插上連結線.",
                      "    c. 檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.",
                      "    d. 使用<瀏覽>按鍵協助您選取較新的版本檔案.",
                      "    e. 使用<開始傳送>按鍵重新執行資料更新."});
}

std::string ExitCancelledText(bool eraseBegun) {
    if (eraseBegun) {
        return Lettered("   異常狀況 : 資料更新中被取消, GPS資料已被清除!!",
                        "    注意 : GPS須重新執行資料更新才能使用, 請依下列說明處置",
                        {"拔除連結線並等待5秒後,再重新插上連結線.",
                         "檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.",
                         "重新啟動本程式, 使用<開始傳送>按鍵重新執行資料更新."});
    }
    return JoinLines({"    資料更新已取消, GPS資料未變更. ", "",
                      " 請拔除連結線並等待5秒後,再重新插上連結線, GPS即可正常使用."});
}

}  // namespace mduCommonMessage
