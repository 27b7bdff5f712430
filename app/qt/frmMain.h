#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <QColor>
#include <QWidget>

#include "IHostImageDisplay.h"
#include "IRunObserver.h"
#include "IWorkPageWindow.h"
#include "ObservedMessageBoxes.h"
#include "PlatformServices.h"
#include "WorkObjects.h"
#include "clsUpdateSequence.h"

class QCloseEvent;
class QFrame;
class TerminationWatcher;

namespace Ui {
class frmMain;
}

// The tool's one window. It owns every long-lived object of the program
// (built and released by its WorkObjects, which also turn the timer ticks and
// the serial driver's events into calls of the update sequence), restores and
// saves the operator's settings, turns each button press into one call of the
// sequence, and guards the exit while an update runs.
//
// Everything it takes from the platform comes through the services it is
// built with, so tests run it offscreen on a virtual clock with scripted
// boxes, a scripted file dialog, an in-memory store and an in-memory line.
//
// The form's two labels of the "Label1" pair are Label1_0 (file area) and
// Label1_1 (port area); the lamps are shpDnLdSetSts_0 to shpDnLdSetSts_19.
class frmMain final : public QWidget, public IWorkPageWindow, private IHostImageDisplay {
    Q_OBJECT

  public:
    static constexpr int kTimAutoRunningInterval = WorkObjects::kAutoRunningMs;
    // Twips of the window beyond its three visible frames.
    static constexpr int kWindowExtraTwips = 500;

    explicit frmMain(platform::PlatformServices& services, QWidget* parent = nullptr);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // --- Window operations (IWorkPageWindow) ---
    std::int32_t WorkState() const override { return workState_; }
    void ChangeWorkState(std::int32_t newState) override;
    void StartAutoRunning() override;
    void SetWorkingBusy(bool busy) override;
    bool BrowseDataFile(bool openMode) override;
    std::string FileNameText() const override;
    void SelectCommPort(std::uint8_t index) override;
    void SetOneSecTimerEnabled(bool enabled) override;
    std::int64_t NowSeconds() const override;
    clsCommandLayer* Commands() override { return objects_.CommandLayer(); }

    // --- Display operations (IWorkPageWindow) ---
    void PutMessageText(const std::string& text, bool keepFirstPart,
                        const std::string& separator) override;
    void ShowInfoMessage(const std::string& text) override;
    void ShowSuccessMessage(const std::string& text) override;
    void ShowErrorMessage(const std::string& text) override;
    // Index outside 0 to 4: nothing happens.
    void SetInfoLine(std::int16_t index, const std::string& value) override;
    void ClearUnitLines() override;
    // Index -1: every lamp; an index outside the lamps or a colour code
    // outside 0 to 3: nothing happens.
    void SetStatusLamps(std::int32_t index, std::int32_t colourCode) override;
    void SetStatusLamp(std::int32_t index, std::int32_t colourCode);
    void SetProgressMax(std::int32_t max) override;
    std::int32_t ProgressMax() const override;
    void SetProgressValue(std::int32_t value) override;
    std::int32_t ProgressValue() const;
    void SetPercentText(const std::string& text) override;
    std::string PercentText() const override;
    void SetClockText(const std::string& text) override;
    std::string ClockText() const;
    platform::MsgResult ShowMessageBox(const std::string& text, platform::MsgButtons buttons,
                                       platform::MsgIcon icon) override;

    // --- Program-level operations ---
    // Settings, release, the shared base table, then programEnded. Once only.
    void ExitProgram();

    // Close requests from the host ending the session or terminating the
    // program: accepted without a question, whatever the sequence is doing.
    void CloseForSessionEnd();
    void CloseForTermination();

    // The data file box's text at start: "C:\" on Windows, the home folder
    // elsewhere.
    static std::string DefaultFileName();

    // Shows or hides the diagnostic frame, resizing the window by the height rule.
    void SetDebugAreaVisible(bool visible);

    // The data file box's text, as the operator would type it.
    void SetFileNameText(const std::string& text);
    // A data file chosen from outside the window (the command line): the
    // box's text, checked at once as a file chosen with Browse is.
    void ChooseDataFile(const std::string& path);
    // Everything the operator sees, and the frames behind it, also goes to
    // this observer (nullptr: none). It must outlive the window or be reset.
    void SetObserver(IRunObserver* observer);
    // The text of the diagnostic frame echo.
    std::string HostImageText() const override;

    // --- State, for the sequence's later stages and for tests ---
    bool AutoRunning() const { return objects_.AutoRunning(); }
    bool WorkingBusy() const { return workingBusy_; }
    bool Exited() const { return exited_; }
    clsUpdateSequence& Sequence() { return objects_.Sequence(); }
    WorkPageRecord& WorkPage() { return objects_.Sequence().WorkPage(); }
    // The serial driver m_ClsComm and the other objects: the driver, table 2
    // and the random source are empty once released, the base table once the
    // program has ended.
    clsComm* CommDriver() { return objects_.ClsComm(); }
    clsRandom* Random() { return objects_.RandomSource(); }
    clsUnitConfigBase* UnitConfigBase() { return objects_.BaseTable(); }
    clsUnitConfig1* UnitConfig1() { return objects_.Table1(); }
    clsUnitConfig2* UnitConfig2() { return objects_.Table2(); }
    clsUnitConfig3* UnitConfig3() { return objects_.Table3(); }

    platform::IWindowTimer& timAutoRunning() { return objects_.AutoRunningTimer(); }
    platform::IWindowTimer& tmrOneSecTimer() { return objects_.OneSecTimer(); }
    platform::IWindowTimer& tmrWaitTimeOut() { return objects_.WaitTimeOutTimer(); }
    platform::IWindowTimer& tmeFrameSpace() { return objects_.FrameSpaceTimer(); }

    // What the displays show: the message text with its "\r\n" line breaks,
    // the colour of the message text, an information line, a lamp's colour.
    std::string MessageText() const { return messageText_; }
    QColor MessageColour() const;
    std::string InfoLine(int index) const;
    QColor LampColour(int index) const;
    // The port list's selected COM number (0 when none is selected).
    int SelectedPort() const;
    // What a support trace records of a run's setting beside the run's own
    // facts: the description of the device behind the selected port.
    std::vector<std::pair<std::string, std::string>> SettingFacts() const;
    // The window height the height rule gives, in pixels.
    int RuleHeight() const;
    // Nobody will look at the window (a runner off screen): the message
    // area's text, laid out anew at every clock tick, is only brought up to
    // date when the window is shown. What it says is kept all the same
    // (MessageText, the observer).
    void SetUnseen(bool unseen);

  signals:
    // The window has unloaded: the program should end.
    void programEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    enum class CloseReason { Operator, SessionEnd, Termination };

    // IHostImageDisplay
    void SetHostImageText(const std::string& text) override;

    // Start-up (frmMain.cpp): window initialise, then window load.
    void ConnectControls();
    void InitialiseWindow();
    void LoadWindow();
    void RestoreSetupOptions();
    // Writes "GPS Update file Name", "GPS Comm Port", "Auto Save Seutp Data".
    void SaveSetupOptions();
    // Releases the objects (WorkObjects::Release) and erases the module
    // tables. Safe to run more than once.
    void ReleaseWorkObjects();
    // The shared base table and the program-wide message boxes.
    void ReleaseProgramObjects();

    // The port list (frmMain.cpp).
    void OnComboComPortClick(int index);
    // The port list's tool tip for the selected number, from what the
    // system knows now (done when the list is opened or pointed at), or from
    // what the list's items were made of (a number picked from the list).
    void RefreshPortToolTip(bool askSystem = true);
    // The port list's item texts: each number with the device behind it, or
    // marked as having none, from what the system knows now.
    void RefreshPortItems();
    // Loads the file named in the data file box as an update would, and
    // shows its version or why it cannot be used.
    void CheckChosenDataFile();

    // Closing (frmMainClose.cpp).
    // Whether a close request may go ahead; asks while an update runs.
    bool QueryClose(CloseReason reason);
    // A close the host asks for: accepted whatever the sequence is doing,
    // also while the operator's closing question is open.
    void CloseForced(CloseReason reason);

    // Displays and size (frmMainDisplay.cpp).
    void SetMessageColour(const QColor& colour, IRunObserver::MessageKind kind);
    void FitDisplays();
    void ApplyWindowHeight();
    QFrame* Lamp(int index) const;

    platform::PlatformServices& services_;
    ObservedMessageBoxes boxes_;
    std::unique_ptr<Ui::frmMain> ui_;
    // What the port list's items were made of, port n at n-1.
    std::vector<platform::PortFacts> listedPorts_;
    platform::IMessageBoxes* previousProgramBoxes_ = nullptr;
    bool programBoxesInstalled_ = false;

    std::int32_t workState_ = 0;
    bool workingBusy_ = false;
    // The timers, the tables, the driver, the command layer and the sequence.
    WorkObjects objects_;

    std::string messageText_;
    std::string hostImage_;
    bool hostImageStale_ = false;
    bool unseen_ = false;
    bool messageStale_ = false;
    std::array<int, 20> lampCodes_ = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                      -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    IRunObserver::MessageKind messageKind_ = IRunObserver::MessageKind::Information;
    QColor windowTextColour_;
    IRunObserver* observer_ = nullptr;
    CloseReason closeReason_ = CloseReason::Operator;
    bool queryingClose_ = false;
    bool forcedClosePending_ = false;
    bool exited_ = false;
    TerminationWatcher* terminationWatcher_ = nullptr;
};
