#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include "ProgramMessageBoxes.h"
#include "WindowHarness.h"
#include "clsComm.h"
#include "mduCommonMessage.h"

using platform::MemorySettingsStore;

TEST(frmMainStartup, EveryControlCarriesItsNameCaptionAndToolTip) {
    WindowHarness h;
    h.Start();
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
}

TEST(frmMainStartup, FramesStackInOrderWithTheDebugFrameHiddenAndTheHeightRuleApplied) {
    WindowHarness h;
    frmMain& w = h.Start();
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
}

TEST(frmMainStartup, FirstRunWithAnEmptyStoreShowsTheDefaultsAndEndsInIdle) {
    WindowHarness h;
    frmMain& w = h.Start();

    EXPECT_EQ(w.FileNameText(), frmMain::DefaultFileName());
    ASSERT_NE(w.CommDriver(), nullptr);
    EXPECT_EQ(w.CommDriver()->ComPort(), 1);
    EXPECT_EQ(w.SelectedPort(), 1);
    // The switch is read first; with its default the other two follow.
    EXPECT_EQ(h.store.ReadKeys(),
              (std::vector<std::string>{mduSetupOptions::KeyAutoSave, mduSetupOptions::KeyFileName,
                                        mduSetupOptions::KeyCommPort}));
    EXPECT_TRUE(h.store.Writes().empty());

    // The objects of start-up, the lent timers and control.
    EXPECT_NE(w.UnitConfigBase(), nullptr);
    EXPECT_NE(w.UnitConfig1(), nullptr);
    EXPECT_NE(w.UnitConfig2(), nullptr);
    EXPECT_NE(w.UnitConfig3(), nullptr);
    EXPECT_NE(w.Random(), nullptr);
    EXPECT_EQ(w.CommDriver()->mFrameSpaceTimer(), &w.tmeFrameSpace());
    EXPECT_EQ(w.CommDriver()->mFrameTimeOutTimer(), &w.tmrWaitTimeOut());
    EXPECT_EQ(w.CommDriver()->mMsComm(), &h.line);
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

    // The idle state's entry, 20 ms later, enables the controls.
    h.clock.AdvanceBy(19);
    for (QWidget* control : h.OperatingControls()) {
        EXPECT_FALSE(control->isEnabled()) << control->objectName().toStdString();
    }
    EXPECT_TRUE(h.Control<QPushButton>("cmdExit")->isEnabled());
    h.clock.AdvanceBy(1);
    for (QWidget* control : h.OperatingControls()) {
        EXPECT_TRUE(control->isEnabled()) << control->objectName().toStdString();
    }
    EXPECT_EQ(w.WorkPage().Event, 1);
    EXPECT_FALSE(w.timAutoRunning().Enabled());
}

TEST(frmMainStartup, StoredSettingsAreRestoredUnlessTheSwitchIsZero) {
    {
        WindowHarness h;
        h.Preset(mduSetupOptions::KeyFileName, "D:\\地圖\\new.apd");
        h.Preset(mduSetupOptions::KeyCommPort, "7");
        frmMain& w = h.Start();
        EXPECT_EQ(w.FileNameText(), "D:\\地圖\\new.apd");
        EXPECT_EQ(w.CommDriver()->ComPort(), 7);
        EXPECT_EQ(w.SelectedPort(), 7);
    }
    {
        WindowHarness h;
        h.Preset(mduSetupOptions::KeyAutoSave, "0");
        h.Preset(mduSetupOptions::KeyFileName, "D:\\new.apd");
        h.Preset(mduSetupOptions::KeyCommPort, "7");
        frmMain& w = h.Start();
        EXPECT_EQ(w.FileNameText(), frmMain::DefaultFileName());
        EXPECT_EQ(w.CommDriver()->ComPort(), 1);
        EXPECT_EQ(h.store.ReadKeys(), std::vector<std::string>{mduSetupOptions::KeyAutoSave});

        w.close();
        // All three written again, in order, and the switch back on.
        std::vector<MemorySettingsStore::Write> expected;
        for (const auto& [key, value] : std::vector<std::pair<std::string, std::string>>{
                 {mduSetupOptions::KeyFileName, frmMain::DefaultFileName()},
                 {mduSetupOptions::KeyCommPort, "1"},
                 {mduSetupOptions::KeyAutoSave, "1"}}) {
            expected.push_back({mduSetupOptions::AppName, mduSetupOptions::Section, key, value});
        }
        EXPECT_EQ(h.store.Writes(), expected);
        EXPECT_EQ(h.Stored(mduSetupOptions::KeyAutoSave), "1");
    }
}

TEST(frmMainStartup, AStoredPortOutsideOneToSixteenFallsBackToTheDriversPort) {
    const struct {
        const char* stored;
        int port;
    } cases[] = {{"0", 1}, {"17", 1}, {"abc", 1}, {"3.5", 1}, {" 12 ", 12}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("stored \"") + c.stored + "\"");
        WindowHarness h;
        h.Preset(mduSetupOptions::KeyCommPort, c.stored);
        frmMain& w = h.Start();
        EXPECT_EQ(w.CommDriver()->ComPort(), c.port);
        EXPECT_EQ(w.SelectedPort(), c.port);
        w.close();
        EXPECT_EQ(h.Stored(mduSetupOptions::KeyCommPort), std::to_string(c.port));
    }
}

TEST(frmMainStartup, ADamagedOrUnreadableStoreGivesTheDefaults) {
    for (auto condition :
         {MemorySettingsStore::Condition::Damaged, MemorySettingsStore::Condition::Unreadable}) {
        SCOPED_TRACE(condition == MemorySettingsStore::Condition::Damaged ? "damaged"
                                                                          : "unreadable");
        WindowHarness h;
        h.Preset(mduSetupOptions::KeyAutoSave, "1");
        h.Preset(mduSetupOptions::KeyFileName, "D:\\old.apd");
        h.Preset(mduSetupOptions::KeyCommPort, "9");
        h.store.SetCondition(condition);
        frmMain& w = h.Start();
        EXPECT_EQ(w.FileNameText(), frmMain::DefaultFileName());
        EXPECT_EQ(w.CommDriver()->ComPort(), 1);
        h.clock.AdvanceBy(20);
        EXPECT_TRUE(h.Control<QPushButton>("cmdBrowser")->isEnabled());
        EXPECT_TRUE(w.close());
        EXPECT_EQ(h.store.Writes().size(), 3u);
    }
}

TEST(frmMainStartup, SelectingItemFiveSetsTheDriversPortAndIsSavedOnExit) {
    WindowHarness h;
    frmMain& w = h.StartIdle();
    auto* combo = h.Control<QComboBox>("ComboComPort");
    combo->setCurrentIndex(4);
    EXPECT_EQ(w.CommDriver()->ComPort(), 5);
    h.Control<QPushButton>("cmdExit")->click();
    EXPECT_EQ(h.Stored(mduSetupOptions::KeyCommPort), "5");
}

namespace {

// A store that runs a hook when a given key is read, to reach the window in
// the middle of its start-up.
class HookedStore final : public platform::ISettingsStore {
  public:
    explicit HookedStore(platform::ISettingsStore& inner) : inner_(inner) {}
    std::string GetSetting(const std::string& app, const std::string& section,
                           const std::string& key, const std::string& def) override {
        if (key == hookKey && hook) {
            hook();
        }
        return inner_.GetSetting(app, section, key, def);
    }
    void SaveSetting(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& value) override {
        inner_.SaveSetting(app, section, key, value);
    }
    std::string hookKey;
    std::function<void()> hook;

  private:
    platform::ISettingsStore& inner_;
};

// Timers of the virtual clock whose expiry a test can also raise by hand.
class ManualTimerFactory final : public platform::ITimerFactory {
  public:
    class Timer final : public platform::IWindowTimer {
      public:
        explicit Timer(std::unique_ptr<platform::IWindowTimer> inner) : inner_(std::move(inner)) {}
        bool Enabled() const override { return inner_->Enabled(); }
        void SetEnabled(bool enabled) override { inner_->SetEnabled(enabled); }
        int Interval() const override { return inner_->Interval(); }
        void SetInterval(int ms) override { inner_->SetInterval(ms); }
        void SetOnTimer(std::function<void()> handler) override {
            handler_ = handler;
            inner_->SetOnTimer(std::move(handler));
        }
        void Fire() {
            if (handler_) {
                handler_();
            }
        }

      private:
        std::unique_ptr<platform::IWindowTimer> inner_;
        std::function<void()> handler_;
    };

    explicit ManualTimerFactory(platform::ITimerFactory& inner) : inner_(inner) {}
    std::unique_ptr<platform::IWindowTimer> CreateTimer() override {
        auto timer = std::make_unique<Timer>(inner_.CreateTimer());
        created.push_back(timer.get());
        return timer;
    }
    std::vector<Timer*> created;  // in creation order: timAutoRunning first

  private:
    platform::ITimerFactory& inner_;
};

}  // namespace

TEST(frmMainStartup, ATickOfTheSequenceTimerBeforeAutoRunningDoesNothing) {
    WindowHarness h;
    ManualTimerFactory timers(h.clock);
    HookedStore store(h.store);
    platform::PlatformServices services{timers, h.clock, h.boxes, h.dialog, store, h.line};
    // Settings are read before the state change that ends start-up
    // sets AutoRunning: a tick now must not reach the sequence.
    int ticks = 0;
    store.hookKey = mduSetupOptions::KeyAutoSave;
    store.hook = [&] {
        ++ticks;
        timers.created.at(0)->Fire();
    };
    frmMain w(services);
    ASSERT_EQ(ticks, 1);
    EXPECT_EQ(w.WorkPage().Event, 0) << "the sequence ran";
    EXPECT_FALSE(w.findChild<QPushButton*>("cmdBrowser")->isEnabled());
    EXPECT_TRUE(w.timAutoRunning().Enabled());
    h.clock.AdvanceBy(20);
    EXPECT_TRUE(w.findChild<QPushButton*>("cmdBrowser")->isEnabled());
}
