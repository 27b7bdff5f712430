// A run's trace as the history window shows it on a double-click.

#include <gtest/gtest.h>

#include "HistoryTraceText.h"

TEST(HistoryTraceText, ShowsStatesMessagesBoxesAndAnswersAndLeavesTheBytesOut) {
    const QByteArray trace =
        R"({"t_ms":0,"kind":"run-start","run":"update","time":"2026-12-07T10:00:00"}
{"t_ms":12,"kind":"state","from":0,"to":2}
{"t_ms":15,"kind":"frame-out","code":51,"length":232,"head":"0033011112C2","crc":"93CD"}
{"t_ms":16,"kind":"frame-out","code":-1,"length":11}
{"t_ms":20,"kind":"frame-in","bytes":"A1B2C3"}
{"t_ms":25,"kind":"listen"}
{"t_ms":2000,"kind":"timeout","bytes":""}
{"t_ms":2100,"kind":"message","text":"傳送失敗\r\n請重試","colour":"red"}
{"t_ms":2200,"kind":"box","text":"是否繼續?","buttons":"yes-no","icon":"exclamation","answer":"no"}
{"t_ms":2250,"kind":"lamp","index":1,"code":2}
not json at all
{"t_ms":2300,"kind":"run-end","run":"update","result":"failure"}
)";
    const QString expected = QString::fromUtf8(
        "   0.000 s  開始資料更新 (2026-12-07T10:00:00)\n"
        "   0.012 s  作業狀態 0 → 2\n"
        "   0.015 s  送出命令 51 (232 位元組)\n"
        "   0.016 s  送出文字訊息 (11 位元組)\n"
        "   0.020 s  收到回應 (3 位元組)\n"
        "   2.000 s  等待回應逾時\n"
        "   2.100 s  訊息 (紅) : 傳送失敗 / 請重試\n"
        "   2.200 s  訊息框 (警告, 是/否) : 是否繼續? → 回答 否\n"
        "   2.250 s  燈號 1 : 綠\n"
        "          (無法讀取的一行)\n"
        "   2.300 s  結束資料更新 : 失敗\n");
    EXPECT_EQ(HistoryTraceText::FromLines(trace), expected);
    // "Not kept" only when the file is really gone.
    EXPECT_EQ(HistoryTraceText::FromFile(QString()), QStringLiteral("此次執行沒有寫入執行記錄。"));
    EXPECT_TRUE(HistoryTraceText::FromFile(QStringLiteral("/nonexistent/t.jsonl"))
                    .startsWith(QStringLiteral("此次執行的執行記錄已不存在")));
    EXPECT_TRUE(HistoryTraceText::FromFile(QStringLiteral("/"))
                    .startsWith(QStringLiteral("無法開啟執行記錄 /")));
}
