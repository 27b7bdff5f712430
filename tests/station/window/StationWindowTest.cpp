// The station's window over a stand-in for gpsupdate-auto: a script that
// reports one line and runs until it is asked to end, as a run would.

#include <gtest/gtest.h>

#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "EventLoopWait.h"
#include "MemorySettingsStore.h"
#include "PackedDataFile.h"
#include "QtRunLauncher.h"
#include "ResultSignal.h"
#include "SqlHistoryStore.h"
#include "StationTexts.h"
#include "StationTile.h"
#include "TileWidget.h"
#include "frmStation.h"

namespace {

namespace fs = std::filesystem;

struct StandIn {
    fs::path folder =
        fs::temp_directory_path() / ("gpsupdate-station-window-" + std::to_string(getpid()));
    fs::path script = folder / "gpsupdate-auto";
    fs::path mark = folder / "ended";
    PackedDataFile data{4096, 512, "0601", 7};  // a file that loads, as a run needs
    StationOptions options;                     // a window over the stand-in with COM3

    explicit StandIn(const std::string& firstLine = {}) {
        options.ports = {3};
        options.settings.file = data.Path();
        options.noTraces = true;
        fs::create_directories(folder);
        std::ofstream out(script);
        out << "#!/bin/sh\n"
               "trap 'echo "
               "\"{\\\"t_ms\\\":2,\\\"kind\\\":\\\"end\\\",\\\"result\\\":\\\"failure\\\"}\"; "
               "echo terminated > "
            << mark.string() << "; exit 1' TERM\n"
            << (firstLine.empty() ? std::string() : "echo '" + firstLine + "'\n")
            << "echo '{\"t_ms\":1,\"kind\":\"progress\",\"value\":1,\"max\":10}'\n"
               "while :; do sleep 0.05; done\n";
        out.close();
        fs::permissions(script, fs::perms::owner_all);
    }
    ~StandIn() { fs::remove_all(folder); }
};

// The widget's label (button, check box) that shows `text` (none: nullptr).
template <typename T = QLabel>
T* Child(const QWidget& widget, const QString& text) {
    const QList<T*> children = widget.findChildren<T*>();
    const auto it = std::find_if(children.begin(), children.end(),
                                 [&text](const T* child) { return child->text() == text; });
    return it != children.end() ? *it : nullptr;
}

// Answers the next question box with `answer` and keeps its text.
void AnswerNextBox(QMessageBox::StandardButton answer, QString& text) {
    QTimer::singleShot(50, [answer, &text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr) << "no question";
        text = box->text();
        box->button(answer)->click();
    });
}

}  // namespace

// A unit's tile shows its last update as the history of runs has it, not
// the run under way, and the status line the runs a history server still
// has to receive. The trace button shows the run's trace as the history
// window reads it, without a desktop file handler and without stopping the
// run. Closing the window asks first only while a run is under way, and
// then ends the run as on a request to end.
TEST(StationWindow, ATileShowsTheRecordedUpdateAndTheTraceAndClosingAsksOnlyDuringARun) {
    StandIn standIn(
        R"({"t_ms":1,"kind":"info","line":2,"text":"x","fact":"serial","value":"GU48A0099999"})");
    const fs::path file = standIn.folder / "history.sqlite";
    std::string error;
    {
        auto store = SqlHistoryStore::Open(file, error);
        ASSERT_TRUE(store) << error;
        HistoryRun now;  // this run, still under way
        now.id = "now";
        now.kind = "update";
        now.unitSerial = "GU48A0099999";
        now.startMs = QDateTime(QDate(2026, 12, 1), QTime(9, 15)).toMSecsSinceEpoch();
        ASSERT_TRUE(store->Begin(now)) << store->LastError();
        HistoryRun earlier = now;
        earlier.id = "earlier";
        earlier.fileDataVersion = "0601";
        earlier.startMs -= 86400000;
        earlier.endMs = earlier.startMs + 400000;
        earlier.result = "success";
        ASSERT_TRUE(store->Begin(earlier) && store->Complete(earlier)) << store->LastError();
    }
    qputenv("GPSUPDATE_HISTORY", QByteArray::fromStdString(file.string()));
    qputenv("GPSUPDATE_HISTORY_SERVER", "postgresql://nobody@127.0.0.1:1/none");
    platform::MemorySettingsStore settings;
    StationOptions options = standIn.options;
    options.settings.traceFolder = standIn.folder.string();
    frmStation window(options, QString::fromStdString(standIn.script.string()), settings);
    qunsetenv("GPSUPDATE_HISTORY");
    qunsetenv("GPSUPDATE_HISTORY_SERVER");
    // With nothing under way, closing asks nothing (a question would wait
    // here for an answer).
    window.show();
    window.close();
    EXPECT_FALSE(window.isVisible());
    window.show();
    window.StartChosen();
    Station& station = window.Stations();
    const QString expected = QStringLiteral("2026-11-30 09:15 成功 (0601)");
    EXPECT_TRUE(PumpUntil([&] { return Child(window, expected) != nullptr; }));
    // Neither row has reached the history server: the status line says so.
    EXPECT_NE(Child(window, QStringLiteral("待送出的記錄 : 2 筆")), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return station.Tile(3).ProgressValue() == 1; }));
    std::ofstream(station.Tile(3).TracePath())
        << R"({"t_ms":0,"kind":"run-start","run":"update","time":"t"})" << '\n';
    ASSERT_NE(Child<QPushButton>(window, QStringLiteral("執行記錄")), nullptr);
    Child<QPushButton>(window, QStringLiteral("執行記錄"))->click();
    const QList<QPlainTextEdit*> shown = window.findChildren<QPlainTextEdit*>();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0]->toPlainText().contains(QStringLiteral("開始資料更新")));

    QString question;
    AnswerNextBox(QMessageBox::No, question);
    window.close();
    EXPECT_TRUE(question.contains(QString::fromUtf8("沒有資料"))) << question.toStdString();
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(station.UpdateRunning(3));
    EXPECT_FALSE(fs::exists(standIn.mark));

    AnswerNextBox(QMessageBox::Yes, question);
    window.close();
    ASSERT_TRUE(PumpUntil([&] { return !window.isVisible(); }));
    EXPECT_TRUE(fs::exists(standIn.mark)) << "the run was not asked to end";
    EXPECT_FALSE(station.AnyChildRunning());
    EXPECT_EQ(station.Tile(3).LastResult(), StationTile::Result::Failure);
    EXPECT_EQ(station.Tile(3).ResultText(), StationTexts::StoppedByOperator);
}

// After each result the whole face takes its colour, with dark text (a
// failure's message too: red on red is not read). Hands-free, a success or
// a skip is no longer shown once the unit has gone, a failure until the
// port's next update starts; the result line under way is grey.
TEST(StationWindow, ATilesFaceTakesItsResultsColourUntilTheNextRunOrTheUnitHasGone) {
    const struct {
        const char* end;
        int exitCode;
        StationTile::Result result;
    } cases[] = {
        {R"("result":"success","outcome":"success")", 0, StationTile::Result::Success},
        {R"("result":"success","outcome":"skipped")", 0, StationTile::Result::Skipped},
        {R"("result":"failure","outcome":"failure","failure_text":"寫入失敗")", 1,
         StationTile::Result::Failure},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.end);
        StationTile tile(3);
        TileWidget widget(3);
        const auto face = [&widget] {
            return widget.autoFillBackground() ? widget.palette().color(QPalette::Window)
                                               : QColor();
        };
        tile.BeginRun(RunRequest::Action::Update, 0);
        tile.ApplyLine(R"({"t_ms":5,"kind":"percent","text":"50.0%"})", 5);
        widget.Show(tile, true);
        QLabel* result = Child(widget, QStringLiteral("更新中"));  // the result line
        ASSERT_TRUE(result != nullptr && result->autoFillBackground());
        EXPECT_EQ(face(), QColor());
        const QColor updating = result->palette().color(QPalette::Window);

        tile.ApplyLine(std::string(R"({"t_ms":6,"kind":"end",)") + c.end + "}", 6);
        tile.EndRun({false, c.exitCode, ""}, 6);
        widget.Show(tile, false);
        ASSERT_EQ(tile.LastResult(), c.result);
        const ResultSignal::Face expected = ResultSignal::FaceFor(c.result);
        EXPECT_EQ(face(), QColor::fromRgb(expected.background));
        EXPECT_EQ(result->palette().color(QPalette::Window), face());
        for (QLabel* label : widget.findChildren<QLabel*>()) {
            EXPECT_EQ(label->palette().color(QPalette::WindowText), QColor::fromRgb(expected.text))
                << label->text().toStdString();
            EXPECT_TRUE(label->styleSheet().isEmpty()) << label->text().toStdString();
        }
        if (c.result == StationTile::Result::Failure) {
            EXPECT_TRUE(result->text().startsWith(QString::fromUtf8(StationTexts::Failure)));
            EXPECT_NE(Child(widget, QStringLiteral("寫入失敗")), nullptr);
        }

        tile.ForgetLastUnit();
        tile.SetWaiting(StationTile::Phase::WaitingForUnit, "等待裝置連接");
        widget.Show(tile, true);
        const bool failed = c.result == StationTile::Result::Failure;
        EXPECT_EQ(face(), failed ? QColor::fromRgb(expected.background) : QColor());
        EXPECT_EQ(Child(widget, QStringLiteral("寫入失敗\n\n等待裝置連接")) != nullptr, failed)
            << "the failure and why the port waits, while it waits";
        tile.BeginRun(RunRequest::Action::Update, 10);
        widget.Show(tile, true);
        EXPECT_EQ(face(), QColor());
        EXPECT_EQ(result->palette().color(QPalette::Window), updating);
    }
}

// A new window: 全部開始 is on only with a data file that loads (starting a
// port anyway runs nothing); the 提示音 box is ticked at first and then as
// the operator last left it, and --sound ticks it for the session without
// changing what is kept.
TEST(StationWindow, StartAllWaitsForAFileThatLoadsAndTheSoundSwitchIsKept) {
    StandIn standIn;
    const struct {
        std::string file;
        bool startable;
        const char* kept;  // nullptr: nothing kept yet
        bool soundOption;
        bool ticked;
    } cases[] = {{(standIn.folder / "missing.apd").string(), false, nullptr, false, true},
                 {standIn.script.string(), false, "0", false, false},  // not a data file
                 {standIn.data.Path(), true, "1", false, true},
                 {standIn.data.Path(), true, "0", true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file + " " + (c.kept ? c.kept : "-") + (c.soundOption ? " --sound" : ""));
        platform::MemorySettingsStore settings;
        if (c.kept != nullptr) {
            settings.Preset(frmStation::kSettingsApp, frmStation::kSettingsSection,
                            frmStation::kSoundKey, c.kept);
        }
        StationOptions options = standIn.options;
        options.settings.file = c.file;
        options.sound = c.soundOption;
        frmStation window(options, QString::fromStdString(standIn.script.string()), settings);
        QPushButton* startAll = Child<QPushButton>(window, QStringLiteral("全部開始"));
        QCheckBox* sound = Child<QCheckBox>(window, QString::fromUtf8(StationTexts::SoundSwitch));
        ASSERT_TRUE(startAll != nullptr && sound != nullptr);
        EXPECT_EQ(sound->isChecked(), c.ticked);
        EXPECT_TRUE(settings.Writes().empty());
        EXPECT_EQ(startAll->isEnabled(), c.startable);
        if (!c.startable) {
            window.StartChosen();
            EXPECT_FALSE(window.Stations().AnyUpdateRunning());
            EXPECT_EQ(window.Stations().Failed(), 0);
        }
        sound->click();
        EXPECT_EQ(settings.Value(frmStation::kSettingsApp, frmStation::kSettingsSection,
                                 frmStation::kSoundKey),
                  c.ticked ? "0" : "1");
    }
}

// An update's arguments and a waiting run's (told the unit last updated),
// with the history and server the station was given, if any.
TEST(StationWindow, ARunsArgumentsNameItsHistoryAndTheUnitLastUpdated) {
    const struct {
        RunRequest::Action action;
        std::string history;
        const char* expected;
    } cases[] = {
        {RunRequest::Action::Update, "/h",
         "update --port 3 --file f --confirm cancel --history /h --history-server /h"},
        {RunRequest::Action::Wait, "",
         "wait --port 3 --poll-seconds 1.5 --last-serial A --file f --confirm cancel"},
    };
    for (const auto& c : cases) {
        const RunRequest request{3, c.action, "f", false, 0, "", c.history, c.history, 1.5, "A"};
        EXPECT_EQ(QtRunLauncher::Arguments(request).join(' ').toStdString(),
                  std::string("--action ") + c.expected);
    }
}
