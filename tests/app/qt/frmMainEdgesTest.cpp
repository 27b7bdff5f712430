// The window at the edges of a run, as a technician meets them: the file box
// during a run and the percentage label. (Enter at the question before
// overwriting a current unit answers Cancel: QtMessageBoxes' test, with the
// question's buttons in frmMainRun's and the declined update in CommandStages'.)

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

#include "RunHarness.h"

// While a run is under way the file box is the run's file: typing into it
// changes nothing, and the file written is what is saved.
TEST(frmMainEdges, TheFileBoxIsReadOnlyWhileARunIsUnderWay) {
    RunHarness h;
    frmMain& w = h.StartTransfer();
    const auto type = [](QLineEdit* box) {
        box->setFocus();
        for (const auto& [key, text] : {std::pair{Qt::Key_X, "x"}, std::pair{Qt::Key_Y, "y"}}) {
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString::fromLatin1(text));
            QApplication::sendEvent(box, &press);
        }
    };
    type(h.Control<QLineEdit>("txtFileName"));
    EXPECT_EQ(w.FileNameText(), h.file->Path());
    ASSERT_TRUE(h.RunUntilIdle());
    EXPECT_EQ(w.Sequence().LastOutcome(), RunOutcome::Succeeded);
    h.clock.AdvanceBy(100);  // idle's entry: no longer busy
    EXPECT_TRUE(w.close());
    EXPECT_EQ(h.Stored(mduSetupOptions::KeyFileName), h.file->Path());

    WindowHarness idle;
    idle.StartIdle();
    auto* box = idle.Control<QLineEdit>("txtFileName");
    box->clear();
    type(box);
    EXPECT_EQ(box->text(), QStringLiteral("xy"));  // idle: the box takes what is typed
}

// The percentage keeps one form and one width from start to end, so the
// bar beside it does not jump.
TEST(frmMainEdges, ThePercentageKeepsOneFormAndWidth) {
    WindowHarness h;
    frmMain& w = h.StartIdle();
    auto* label = h.Control<QLabel>("lblDownLoadPercent");
    EXPECT_EQ(w.PercentText(), "0.0%");
    std::vector<int> widths;
    for (const char* text : {"0.0%", "13.7%", "100.0%"}) {
        w.SetPercentText(text);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        widths.push_back(label->width());
    }
    EXPECT_EQ(widths, std::vector<int>(3, widths.front()));
}
