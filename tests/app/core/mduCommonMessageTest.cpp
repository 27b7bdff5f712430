#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mduCommonMessage.h"

namespace {

using Lines = std::vector<std::string>;

std::string Joined(const Lines& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        text += (i == 0 ? "" : "\r\n") + lines[i];
    }
    return text;
}

const Lines kRestartItems = {"    a. 拔除連結線並等待5秒後,再重新插上連結線.",
                             "    b. 檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.",
                             "    c. 使用<開始傳送>按鍵重新執行資料更新."};

Lines Restart(const std::string& title, const std::string& instruction) {
    Lines lines{title, instruction};
    lines.insert(lines.end(), kRestartItems.begin(), kRestartItems.end());
    return lines;
}

const Lines kFinalItems = {"    a. 拔除連結線並等待5秒後,再重新插上連結線.",
                           "    b. 檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.",
                           "    c. 使用<自動掃描>按鍵重新連結GPS.",
                           "    d. 重新連結成功時, 若顯示 <GPS紀錄報告: 正常>時, 則可正常使用.",
                           "    e. 重新連結成功時, 若顯示 <GPS紀錄報告: "
                           "資料異常(照相資料記憶區)>時, 則須重新執行資料更新."};

Lines Final(const std::string& title) {
    Lines lines{title, "    請依下列說明處置"};
    lines.insert(lines.end(), kFinalItems.begin(), kFinalItems.end());
    return lines;
}

}  // namespace

TEST(mduCommonMessage, EachTextIsItsLinesJoinedByCrLf) {
    using namespace mduCommonMessage;
    const std::string follow = "   依下列說明處置";
    const std::string warn3 = "   注意 : 若不重新執行資料更新, GPS可能無法使用, 請依下列說明處置";
    const std::string warn4 = "    注意 : 若不重新執行資料更新, GPS可能無法使用, 請依下列說明處置";
    const struct {
        const char* name;
        std::string actual;
        Lines lines;
    } cases[] = {
        {"link mode", LinkModeFailureText(),
         Restart("   異常狀況 : 無法切換GPS連結模式!!", follow)},
        {"erase", EraseFailureText(), Restart("   異常狀況 : GPS資料清除失敗!!", warn3)},
        {"data 10", DataSetupFailureText(10),
         Restart("   異常狀況 : 無法完成GPS資料設定(10)!!", warn4)},
        {"data 12", DataSetupFailureText(12),
         Restart("   異常狀況 : 無法完成GPS資料設定(12)!!", warn4)},
        {"closing 16", ClosingFailureText(),
         Restart("   異常狀況 : 無法完成GPS資料設定(16)!!", "    請依下列說明處置")},
        {"standard no response",
         StandardNoResponseText(),
         {"   異常狀況 : GPS沒有回應!!", "    請依下列說明處置",
          "    a. 檢查連結線是否確實插入妥當, 並等待至GPS指示燈連續閃動.",
          "    b. GPS可能剛開機, 但尚未備妥(GPS指示燈恆亮10秒), 請稍後再重試.",
          "    c. 若先前因資料更新失敗, 請拔除連結線並等待5秒後,再重新插上連結線.",
          "    d. 檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.",
          "    e. 使用<自動掃描>按鍵重新連結GPS."}},
        {"final no response", FinalNoResponseText(), Final("   異常狀況 : GPS沒有回應!!")},
        {"camera memory", CameraMemoryFailureText(), Final("   異常狀況 : GPS照相記憶區異常!!")},
        {"program version",
         ProgramVersionNotSuitedText(),
         {"   異常狀況 : GPS程式版本不適用於本資料檔!!", "   依下列說明處置",
          "    a. 向經銷商索取正確版本之資料檔.", "    b. 下載與本GPS程式版本相容之更新資料檔案."}},
        {"not newer question",
         NotNewerQuestionText(),
         {"資料檔案的版本不是較新的版本 !!", " 若資料更新後GPS的警示訊息可能比現在不足,",
          " 您確定要資料更新嗎 ?"}},
        {"not newer cancelled",
         NotNewerCancelledText(),
         {"   經使用者取消資料更新(不是較新的版本號碼) !!", "  若要重新更新, 請依下列說明處置",
          "    a. 下載較新的版本的更新資料檔案.", "    b. 拔除連結線並等待5秒後,再重新插上連結線.",
          "    c. 檢查連結線確實插入妥當, 並等待至GPS方向指示燈旋轉閃動.",
          "    d. 使用<瀏覽>按鍵協助您選取較新的版本檔案.",
          "    e. 使用<開始傳送>按鍵重新執行資料更新."}},
        // Stage numbers have two digits.
        {"stage 1", LinkSetupText(1), {"GPS連結設定(01)."}},
        {"stage 12", LinkSetupText(12), {"GPS連結設定(12)."}},
        {"stage 7 done", LinkSetupDoneText(7), {"GPS連結設定(07)完成."}},
        {"stage 16 done", LinkSetupDoneText(16), {"GPS連結設定(16)完成."}},
        {"record unknown", RecordPart(RecordUnknownText), {" : GPS記錄資訊 = 不明"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.actual, Joined(c.lines)) << c.name;
    }
    for (const int stage : {1, 3, 4, 5, 6, 7}) {
        const std::string title = "   異常狀況 : 無法完成GPS設定(0" + std::to_string(stage) + ")!!";
        EXPECT_EQ(SetupFailureText(stage), Joined(Restart(title, follow))) << "set-up " << stage;
    }
}
