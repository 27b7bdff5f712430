#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include "ProgramMessageBoxes.h"
#include "WindowHarness.h"
#include "clsComm.h"
#include "mduCommonMessage.h"

using platform::MemorySettingsStore;

// A first run with an empty store: the defaults, every control with its
// name, caption and tool tip, the frames in order with the debug frame hidden
// and the height rule applied, and then the idle state's entry.
TEST(frmMainStartup, FirstRunWithAnEmptyStoreShowsTheDefaultsAndEndsInIdle) {
    WindowHarness h;
    frmMain& w = h.Start();

    // The file and port shown are the defaults, as with a damaged store
    // (StoredSettingsAreRestoredWhenTheyCanBeUsed).
    ASSERT_NE(w.CommDriver(), nullptr);
    // The switch is read first; with its default the other two follow.
    EXPECT_EQ(h.store.ReadKeys(),
              (std::vector<std::string>{mduSetupOptions::KeyAutoSave, mduSetupOptions::KeyFileName,
                                        mduSetupOptions::KeyCommPort}));
    EXPECT_TRUE(h.store.Writes().empty());

    // The objects of start-up and the driver's timers and control are used
    // by every run through the window (frmMainRun).
    EXPECT_EQ(h.line.InputMode(), 1);
    // Faults found by plain code are shown in the window's boxes.
    platform::ProgramMessageBoxes::Get().Show("fault", platform::MsgButtons::Ok,
                                              platform::MsgIcon::Critical);
    ASSERT_EQ(h.boxes.Texts(), std::vector<std::string>{"fault"});
    h.boxes.Clear();
    EXPECT_FALSE(w.tmrOneSecTimer().Enabled());

    // Start-up ends with a state change to idle: AutoRunning, timer armed.
    EXPECT_EQ(w.WorkState(), 0);
    EXPECT_TRUE(w.AutoRunning());
    EXPECT_FALSE(w.WorkingBusy());
    EXPECT_TRUE(w.timAutoRunning().Enabled());
    EXPECT_EQ(w.timAutoRunning().Interval(), 20);

    // Every control carries its name, caption and tool tip.
    // Name, the property that holds the caption or initial text (none: not
    // checked), that text, the tool tip.
    const struct {
        const char* name;
        const char* property;
        const char* text;
        const char* tip;
    } rows[] = {
        {"cmdDownLoadStart", "text", "開始傳送", "開始傳送資至 GPS"},
        {"progbDownloadProgress", nullptr, "", "傳送進度表"},
        {"lsbxDownloadInformation", nullptr, "", "GPS 及資料檔相關資訊顯示區"},
        {"txtMessage", "plainText", "", "操作指示或結果之資訊顯示區"},
        {"lblDownLoadClock", "text", "00:00", ""},
        {"lblDownLoadPercent", "text", "0.0%", ""},
        {"Label1_0", "text", "資料檔名", ""},
        {"txtFileName", nullptr, "", "GPS 更新檔案名稱"},  // its text: the platform's default
        {"cmdBrowser", "text", "瀏覽", "GPS 更新檔案選定"},
        {"Label1_1", "text", "傳輸埠(COM #)", ""},
        {"ComboComPort", "currentText", "1: 無裝置", "傳輸埠選定"},
        {"cmdAutoCommPortScan", "text", "自動掃描", "自動掃描傳輸埠(1 ~ 16)"},
        {"cmdHelloDevice", "text", "連結測試", "與 GPS 連線測試"},
        {"cmdExit", "text", "離    開", "離開本程式"},
        {"txtHostImage", "text", "", ""},
    };
    for (const auto& row : rows) {
        QWidget* control = h.Control<QWidget>(row.name);
        ASSERT_NE(control, nullptr) << row.name;
        // The port list's tip goes on with the device behind the selected number.
        EXPECT_EQ(control->toolTip().split(QLatin1Char('\n')).first().toStdString(), row.tip)
            << row.name;
        if (row.property != nullptr) {
            EXPECT_EQ(control->property(row.property).toString().toStdString(), row.text)
                << row.name;
        }
    }

    auto* combo = h.Control<QComboBox>("ComboComPort");
    ASSERT_EQ(combo->count(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_TRUE(combo->itemText(i).startsWith(QStringLiteral("%1:").arg(i + 1)));
    }
    auto* info = h.Control<QListWidget>("lsbxDownloadInformation");
    ASSERT_EQ(info->count(), mduCommonMessage::InfoLineCount);
    for (int i = 0; i < info->count(); ++i) {
        EXPECT_EQ(info->item(i)->text().toStdString(), mduCommonMessage::InfoLineLabels[i]);
    }
    for (int i = 0; i < 20; ++i) {
        QWidget* lamp = h.Control<QWidget>(("shpDnLdSetSts_" + std::to_string(i)).c_str());
        ASSERT_NE(lamp, nullptr) << "lamp " << i;
        EXPECT_EQ(lamp->parentWidget(), h.Control<QWidget>("frmDebugArea")) << "lamp " << i;
    }

    // The frames stack in order with the debug frame hidden and the height rule applied.
    QWidget* debug = h.Control<QWidget>("frmDebugArea");
    QWidget* working = h.Control<QWidget>("frmWorkingArea");
    QWidget* file = h.Control<QWidget>("frmFileArea");
    QWidget* comm = h.Control<QWidget>("frmCommArea");
    EXPECT_FALSE(debug->isVisible());
    EXPECT_LT(working->geometry().bottom(), file->geometry().top());
    EXPECT_LT(file->geometry().bottom(), comm->geometry().top());
    EXPECT_LE(comm->geometry().bottom(), w.height());

    // Three frames plus 500 twips (15 twips a pixel at 96 dpi).
    const int extra = (frmMain::kWindowExtraTwips * w.logicalDpiY() + 720) / 1440;
    EXPECT_EQ(w.RuleHeight(), working->sizeHint().height() + file->sizeHint().height() +
                                  comm->sizeHint().height() + extra);
    EXPECT_EQ(w.height(), w.RuleHeight());

    w.SetDebugAreaVisible(true);
    EXPECT_TRUE(debug->isVisible());
    EXPECT_EQ(w.height(), w.RuleHeight());
    EXPECT_LT(debug->geometry().bottom(), working->geometry().top());

    // The size is the designed one: the operator cannot squeeze or stretch it.
    for (const bool shown : {true, false}) {
        w.SetDebugAreaVisible(shown);
        const QSize designed = w.size();
        EXPECT_EQ(w.minimumSize(), designed);
        EXPECT_EQ(w.maximumSize(), designed);
        w.resize(designed / 2);
        EXPECT_EQ(w.size(), designed);
    }

    // The idle state's entry, 20 ms later, enables the controls.
    h.clock.AdvanceBy(19);
    EXPECT_EQ(h.EnabledControls(), std::vector<std::string>{"cmdExit"});
    h.clock.AdvanceBy(1);
    EXPECT_EQ(h.EnabledControls().size(), 6u);
    EXPECT_EQ(w.WorkPage().Event, 1);
    EXPECT_FALSE(w.timAutoRunning().Enabled());
}

// The stored file and port are restored unless the switch is 0 (then only
// the switch is read); a port that is not one falls back to the driver's (which
// texts are ports: mduSetupOptions' tests and fuzz_settings); a damaged or
// unreadable store gives the defaults. Closing writes all three again, in
// order, with the switch back on.
TEST(frmMainStartup, StoredSettingsAreRestoredWhenTheyCanBeUsed) {
    using Condition = MemorySettingsStore::Condition;
    const std::string stored = "D:\\地圖\\new.apd";
    const std::string fallback = frmMain::DefaultFileName();
    const struct {
        const char* autoSave;  // nullptr: not stored
        const char* port;
        Condition condition;
        std::string file;  // what the window starts with
        int startPort;
    } rows[] = {
        {nullptr, "7", Condition::Healthy, stored, 7},
        {"0", "7", Condition::Healthy, fallback, 1},
        {nullptr, "17", Condition::Healthy, stored, 1},  // not a port: the driver's
        {"1", "9", Condition::Damaged, fallback, 1},
        {"1", "9", Condition::Unreadable, fallback, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string("switch ") + (row.autoSave ? row.autoSave : "-") + ", port \"" +
                     row.port + "\", condition " + std::to_string(static_cast<int>(row.condition)));
        WindowHarness h;
        if (row.autoSave != nullptr) {
            h.Preset(mduSetupOptions::KeyAutoSave, row.autoSave);
        }
        h.Preset(mduSetupOptions::KeyFileName, stored);
        h.Preset(mduSetupOptions::KeyCommPort, row.port);
        h.store.SetCondition(row.condition);
        frmMain& w = h.Start();
        EXPECT_EQ(w.FileNameText(), row.file);
        EXPECT_EQ(w.CommDriver()->ComPort(), row.startPort);
        EXPECT_EQ(w.SelectedPort(), row.startPort);
        if (std::string(row.autoSave ? row.autoSave : "") == "0") {
            EXPECT_EQ(h.store.ReadKeys(), std::vector<std::string>{mduSetupOptions::KeyAutoSave});
        }
        EXPECT_TRUE(w.close());
        std::vector<MemorySettingsStore::Write> written;
        for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
                 {mduSetupOptions::KeyFileName, row.file},
                 {mduSetupOptions::KeyCommPort, std::to_string(row.startPort)},
                 {mduSetupOptions::KeyAutoSave, "1"}}) {
            written.push_back({mduSetupOptions::AppName, mduSetupOptions::Section, key, value});
        }
        EXPECT_EQ(h.store.Writes(), written);
    }
}

// The port the operator chose is the one saved: a scan left half-way gives
// it back rather than the last port it tried (a scan that found nothing
// selects it again itself: the port scan tests; with no run at all, the
// port is saved as restored: StoredSettingsAreRestoredWhenTheyCanBeUsed).
TEST(frmMainStartup, TheChosenPortIsSavedOnExitWhateverAScanFound) {
    WindowHarness h;
    frmMain& w = h.StartIdle();
    h.Control<QComboBox>("ComboComPort")->setCurrentIndex(4);
    EXPECT_EQ(w.CommDriver()->ComPort(), 5);
    h.Control<QPushButton>("cmdAutoCommPortScan")->click();
    ASSERT_TRUE(h.clock.RunUntil([&] { return w.SelectedPort() == 9; }, 120000));
    h.boxes.QueueAnswer(platform::MsgResult::Yes);  // if asked
    h.Control<QPushButton>("cmdExit")->click();
    EXPECT_EQ(h.Stored(mduSetupOptions::KeyCommPort), "5");
}

namespace {

// An empty store that runs a hook when the auto-save switch is read, to
// reach the window in the middle of its start-up.
struct HookedStore final : platform::ISettingsStore {
    std::function<void()> hook;
    std::string GetSetting(const std::string&, const std::string&, const std::string& key,
                           const std::string& def) override {
        if (key == mduSetupOptions::KeyAutoSave) {
            hook();
        }
        return def;
    }
    void SaveSetting(const std::string&, const std::string&, const std::string&,
                     const std::string&) override {}
};

// The virtual clock's timers, kept in creation order (timAutoRunning first).
struct KeptTimers final : platform::ITimerFactory {
    explicit KeptTimers(platform::ITimerFactory& inner) : inner(inner) {}
    std::unique_ptr<platform::IWindowTimer> CreateTimer() override {
        auto timer = inner.CreateTimer();
        created.push_back(timer.get());
        return timer;
    }
    platform::ITimerFactory& inner;
    std::vector<platform::IWindowTimer*> created;
};

}  // namespace

TEST(frmMainStartup, ATickOfTheSequenceTimerBeforeAutoRunningDoesNothing) {
    WindowHarness h;
    KeptTimers timers(h.clock);
    HookedStore store;
    platform::PlatformServices services{timers, h.clock, h.boxes, h.dialog, store, h.line};
    // Settings are read before the state change that ends start-up
    // sets AutoRunning: a tick now must not reach the sequence.
    int ticks = 0;
    store.hook = [&] {
        ++ticks;
        timers.created.at(0)->SetEnabled(true);
        h.clock.AdvanceBy(frmMain::kTimAutoRunningInterval);
    };
    frmMain w(services);
    ASSERT_EQ(ticks, 1);
    EXPECT_EQ(w.WorkPage().Event, 0) << "the sequence ran";
    EXPECT_FALSE(w.findChild<QPushButton*>("cmdBrowser")->isEnabled());
    EXPECT_TRUE(w.timAutoRunning().Enabled());
    h.clock.AdvanceBy(20);
    EXPECT_TRUE(w.findChild<QPushButton*>("cmdBrowser")->isEnabled());
}
