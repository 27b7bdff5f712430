#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPlainTextEdit>

#include "QtText.h"
#include "WindowHarness.h"
#include "clsComm.h"
#include "mduCommonMessage.h"

// The message area keeps or replaces its text and the kinds set their
// colours, also while the window is unseen; the info lines, the lamps and
// the percentage show what they are given.
TEST(frmMainDisplay, TheMessageInfoLinesAndLampsShowWhatTheyAreGiven) {
    WindowHarness h;
    frmMain& w = h.StartIdle();
    const std::string status = mduCommonMessage::FinalCheckText;
    const QColor windowText = QGuiApplication::palette().color(QPalette::WindowText);

    // How the texts are put together is mduDisplayText's; here, that the
    // window keeps its text and the colour of its kind.
    w.ShowErrorMessage(status + " : 11");
    EXPECT_EQ(w.MessageColour(), QColor(255, 0, 0));
    w.PutMessageText("12", true, " : ");
    EXPECT_EQ(w.MessageText(), status + " : 12");
    EXPECT_EQ(w.MessageColour(), QColor(255, 0, 0));
    w.ShowSuccessMessage("GPS連線成功");
    EXPECT_EQ(w.MessageColour(), QColor(0, 0, 255));
    w.ShowInfoMessage("");
    EXPECT_EQ(w.MessageText(), "");
    EXPECT_EQ(w.MessageColour(), windowText);

    // A long text: its "\r\n" lines are shown as lines, nothing more.
    const std::string failure = mduCommonMessage::LinkModeFailureText();
    w.ShowErrorMessage(failure);
    EXPECT_EQ(w.MessageText(), failure);
    const QString shown = h.Control<QPlainTextEdit>("txtMessage")->toPlainText();
    EXPECT_FALSE(shown.contains(QLatin1Char('\r')));
    EXPECT_EQ(shown.split(QLatin1Char('\n')).size(), 5);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("   異常狀況")));

    // Info lines keep their labels and ignore indices outside the list.
    const std::string label2 = "GPS   序          號   ";
    w.SetInfoLine(2, "A1B2C3");
    EXPECT_EQ(w.InfoLine(2), label2 + ": A1B2C3");
    // A value with its own colon does not move the label's end.
    w.SetInfoLine(2, "x:y");
    w.SetInfoLine(2, "");
    EXPECT_EQ(w.InfoLine(2), label2 + ": ");

    for (int line = 0; line < mduCommonMessage::InfoLineCount; ++line) {
        w.SetInfoLine(static_cast<std::int16_t>(line), "v" + std::to_string(line));
    }
    const std::string before0 = w.InfoLine(0);
    w.SetInfoLine(5, "nothing");
    w.SetInfoLine(-1, "nothing");
    w.ClearUnitLines();
    EXPECT_EQ(w.InfoLine(0), before0);
    for (int line = 1; line < mduCommonMessage::InfoLineCount; ++line) {
        const std::string label = mduCommonMessage::InfoLineLabels[line];
        EXPECT_EQ(w.InfoLine(line), label.substr(0, label.find(':')) + ": ") << "line " << line;
    }

    // Lamps take the four colours and ignore other codes and indices.
    const QColor grey(192, 192, 192), yellow(255, 255, 0), green(0, 255, 0), red(255, 0, 0);
    w.SetStatusLamps(-1, 0);
    for (int lamp = 0; lamp < 20; ++lamp) {
        EXPECT_EQ(w.LampColour(lamp), grey) << "lamp " << lamp;
    }
    w.SetStatusLamps(3, 1);
    w.SetStatusLamp(4, 2);
    w.SetStatusLamps(19, 3);
    EXPECT_EQ(w.LampColour(3), yellow);
    EXPECT_EQ(w.LampColour(4), green);
    EXPECT_EQ(w.LampColour(19), red);

    for (const auto& [index, code] : {std::pair{5, 7}, std::pair{5, 4}, std::pair{5, -1},
                                      std::pair{20, 3}, std::pair{-2, 3}, std::pair{-1, 9}}) {
        w.SetStatusLamps(index, code);
    }
    EXPECT_EQ(w.LampColour(5), grey);
    EXPECT_EQ(w.LampColour(19), red);
    EXPECT_EQ(w.LampColour(3), yellow);

    // The percentage keeps one form and one width from start to end, so the
    // bar beside it does not jump.
    auto* percent = h.Control<QLabel>("lblDownLoadPercent");
    EXPECT_EQ(w.PercentText(), "0.0%");
    std::vector<int> widths;
    for (const char* text : {"0.0%", "13.7%", "100.0%"}) {
        w.SetPercentText(text);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        widths.push_back(percent->width());
    }
    EXPECT_EQ(widths, std::vector<int>(3, widths.front()));

    // An unseen window keeps its message and shows it when shown.
    auto* area = h.Control<QPlainTextEdit>("txtMessage");
    w.ShowInfoMessage("before");
    w.hide();
    w.SetUnseen(true);
    w.ShowErrorMessage(mduCommonMessage::LinkModeFailureText());
    w.PutMessageText("12", true, " : ");
    // What the message says is known at once; the hidden area is not laid out.
    EXPECT_EQ(w.MessageText(), "   異常狀況 : 12");
    EXPECT_EQ(area->toPlainText(), QStringLiteral("before"));
    w.show();
    EXPECT_EQ(area->toPlainText(), platform::ToDisplayLines(w.MessageText()));
    // Shown, it follows every change again.
    w.ShowInfoMessage("after");
    EXPECT_EQ(area->toPlainText(), QStringLiteral("after"));
}

TEST(frmMainDisplay, ThePortListAndItsTipNameTheDeviceBehindEachNumber) {
    WindowHarness h;
    h.line.SetPortFacts(2, {.device = "/dev/ttyUSB0",
                            .present = true,
                            .description = "FT232R USB UART",
                            .manufacturer = "FTDI",
                            .serialNumber = "A50285BI"});
    platform::PortFacts named;
    named.device = "/tmp/gpsunit";
    named.named = true;
    h.line.SetPortFacts(3, named);
    frmMain& w = h.StartIdle();
    auto* combo = h.Control<QComboBox>("ComboComPort");
    const auto tip = [combo] { return combo->toolTip().toStdString(); };

    EXPECT_EQ(tip(), "傳輸埠選定\nCOM1: 這台電腦沒有此編號的序列埠");
    // Each entry's text is mduDisplayText's (its test); here, that it follows the facts.
    EXPECT_EQ(combo->itemText(2).toStdString(), "3: gpsunit (目前不存在)");
    combo->setCurrentIndex(1);
    EXPECT_EQ(tip(),
              "傳輸埠選定\nCOM2 = /dev/ttyUSB0\nFT232R USB UART, 製造商: FTDI, 序號: A50285BI");
    combo->setCurrentIndex(2);
    EXPECT_EQ(tip(), "傳輸埠選定\nCOM3 = /tmp/gpsunit (由設定指定) (目前不存在)");

    // An adapter plugged in while the window is open shows when the list is
    // next pointed at or opened.
    named.present = true;
    h.line.SetPortFacts(3, named);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(combo, &press);
    QCoreApplication::processEvents();
    combo->hidePopup();
    EXPECT_EQ(tip(), "傳輸埠選定\nCOM3 = /tmp/gpsunit (由設定指定)");
    EXPECT_EQ(combo->itemText(2).toStdString(), "3: gpsunit");
    EXPECT_EQ(w.SelectedPort(), 3);
    EXPECT_EQ(w.CommDriver()->ComPort(), 3);
}
