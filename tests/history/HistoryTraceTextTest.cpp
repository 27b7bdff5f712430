// A run's trace as the history window shows it on a double-click.

#include <gtest/gtest.h>

#include "HistoryTraceText.h"

TEST(HistoryTraceText, ShowsStatesMessagesBoxesAndAnswersAndLeavesTheBytesOut) {
    const QByteArray trace =
        R"({"t_ms":0,"kind":"run-start","run":"update","time":"2026-12-07T10:00:00"}
{"t_ms":12,"kind":"state","from":0,"to":2}
{"t_ms":15,"kind":"frame-out","code":51,"length":232,"head":"0033011112C2","crc":"93CD"}
{"t_ms":20,"kind":"frame-in","bytes":"A1B2C3"}
{"t_ms":25,"kind":"listen"}
{"t_ms":2000,"kind":"timeout","bytes":""}
{"t_ms":2100,"kind":"message","text":"傳送失敗\r\n請重試","colour":"red"}
{"t_ms":2200,"kind":"box","text":"是否繼續?","buttons":"yes-no","icon":"exclamation","answer":"no"}
not json at all
{"t_ms":2300,"kind":"run-end","run":"update","result":"failure"}
)";
    const QString expected = QString::fromUtf8(
        "   0.000 s  run started: update at 2026-12-07T10:00:00\n"
        "   0.012 s  state 0 → 2\n"
        "   0.015 s  sent command 51 (232 bytes)\n"
        "   0.020 s  reply (3 bytes)\n"
        "   2.000 s  no reply in time\n"
        "   2.100 s  message (red): 傳送失敗 / 請重試\n"
        "   2.200 s  box (exclamation, yes-no): 是否繼續? → answered no\n"
        "          (a damaged line)\n"
        "   2.300 s  run ended: update, failure\n");
    EXPECT_EQ(HistoryTraceText::FromLines(trace), expected);
    EXPECT_TRUE(HistoryTraceText::FromFile(QString()).startsWith(QStringLiteral("The trace")));
}
