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
#include "clsUpdateSequence.h"

class QCloseEvent;
class QFrame;
class TerminationWatcher;
class clsCommandLayer;
class clsComm;
class clsRandom;
class clsUnitConfig1;
class clsUnitConfig2;
class clsUnitConfig3;
class clsUnitConfigBase;

namespace Ui {
class frmMain;
}

// The tool's one window. It owns every long-lived object of the program,
// restores and saves the operator's settings, turns each button press, timer
// tick and serial driver event into one call of the update sequence, and
// guards the exit while an update runs.
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
    static constexpr int kTimAutoRunningInterval = 20;
    static constexpr int kOneSecTimerInterval = 1000;
    static constexpr int kWaitTimeOutInterval = 1000;
    static constexpr int kFrameSpaceInterval = 30;
    // Twips of the window beyond its three visible frames.
    static constexpr int kWindowExtraTwips = 500;

    explicit frmMain(platform::PlatformServices& services, QWidget* parent = nullptr);
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // --- Window operations (IWorkPageWindow) ---
    std::int32_t WorkState() const override { return m_WorkState; }
    void ChangeWorkState(std::int32_t newState) override;
    void StartAutoRunning() override;
    void SetWorkingBusy(bool busy) override;
    bool BrowseDataFile(bool openMode) override;
    std::string FileNameText() const override;
    void SelectCommPort(std::uint8_t index) override;
    void SetOneSecTimerEnabled(bool enabled) override;
    std::int64_t NowSeconds() const override;
    clsCommandLayer* Commands() override { return m_Commands.get(); }

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
    // Writes "GPS Update file Name", "GPS Comm Port", "Auto Save Seutp Data".
    void SaveSetupOptions();
    // Closes the port, releases table 2, the driver and the random source,
    // erases the module tables. Safe to run more than once.
    void ReleaseWorkObjects();
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
    // The port list's tool tip for the selected number, from what the
    // system knows now (done when the list is opened or pointed at), or from
    // what the list's items were made of (a number picked from the list).
    void RefreshPortToolTip(bool askSystem = true);
    // The port list's item texts: each number with the device behind it, or
    // marked as having none, from what the system knows now.
    void RefreshPortItems();
    // The text of the diagnostic frame echo.
    std::string HostImageText() const override;

    // --- State, for the sequence's later stages and for tests ---
    bool AutoRunning() const { return m_AutoRunning; }
    bool WorkingBusy() const { return m_WorkingBusy; }
    bool Exited() const { return m_Exited; }
    clsUpdateSequence& Sequence() { return m_Sequence; }
    WorkPageRecord& WorkPage() { return m_Sequence.WorkPage(); }
    platform::PlatformServices& Services() { return m_Services; }
    // Empty once released.
    clsComm* CommDriver() { return m_ClsComm.get(); }
    clsRandom* Random() { return m_Random.get(); }
    clsUnitConfigBase* UnitConfigBase() { return m_UnitConfigBase.get(); }
    clsUnitConfig1* UnitConfig1() { return m_UnitConfig1.get(); }
    clsUnitConfig2* UnitConfig2() { return m_UnitConfig2.get(); }
    clsUnitConfig3* UnitConfig3() { return m_UnitConfig3.get(); }

    platform::IWindowTimer& timAutoRunning() { return *m_timAutoRunning; }
    platform::IWindowTimer& tmrOneSecTimer() { return *m_tmrOneSecTimer; }
    platform::IWindowTimer& tmrWaitTimeOut() { return *m_tmrWaitTimeOut; }
    platform::IWindowTimer& tmeFrameSpace() { return *m_tmeFrameSpace; }

    // What the displays show: the message text with its "\r\n" line breaks,
    // the colour of the message text, an information line, a lamp's colour.
    std::string MessageText() const { return m_MessageText; }
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

    // Start-up: window initialise, then window load.
    void InitialiseWindow();
    void LoadWindow();
    void RestoreSetupOptions();
    // Whether a close request may go ahead; asks while an update runs.
    bool QueryClose(CloseReason reason);
    // A close the host asks for: accepted whatever the sequence is doing,
    // also while the operator's closing question is open.
    void CloseForced(CloseReason reason);
    void OnAutoRunningTick();
    void OnCommResponseMessage(std::int32_t vCommEvent, const std::vector<std::uint8_t>& vMessage);
    void OnComboComPortClick(int index);
    void SetMessageColour(const QColor& colour, IRunObserver::MessageKind kind);
    // Loads the file named in the data file box as an update would, and
    // shows its version or why it cannot be used.
    void CheckChosenDataFile();
    void FitDisplays();
    void ApplyWindowHeight();
    void StopWindowTimers();
    // The shared base table and the program-wide message boxes.
    void ReleaseProgramObjects();
    QFrame* Lamp(int index) const;

    platform::PlatformServices& m_Services;
    ObservedMessageBoxes m_Boxes;
    std::unique_ptr<Ui::frmMain> ui;
    // What the port list's items were made of, port n at n-1.
    std::vector<platform::PortFacts> m_ListedPorts;
    platform::IMessageBoxes* m_PreviousProgramBoxes = nullptr;
    bool m_ProgramBoxesInstalled = false;

    std::unique_ptr<platform::IWindowTimer> m_timAutoRunning;
    std::unique_ptr<platform::IWindowTimer> m_tmrOneSecTimer;
    std::unique_ptr<platform::IWindowTimer> m_tmrWaitTimeOut;
    std::unique_ptr<platform::IWindowTimer> m_tmeFrameSpace;

    std::unique_ptr<clsUnitConfigBase> m_UnitConfigBase;
    std::unique_ptr<clsUnitConfig1> m_UnitConfig1;
    std::unique_ptr<clsUnitConfig2> m_UnitConfig2;
    std::unique_ptr<clsUnitConfig3> m_UnitConfig3;
    std::unique_ptr<clsComm> m_ClsComm;
    std::unique_ptr<clsRandom> m_Random;
    std::unique_ptr<clsCommandLayer> m_Commands;

    std::int32_t m_WorkState = 0;
    bool m_AutoRunning = false;
    bool m_WorkingBusy = false;
    clsUpdateSequence m_Sequence;

    std::string m_MessageText;
    std::string m_HostImage;
    bool m_HostImageStale = false;
    bool m_Unseen = false;
    bool m_MessageStale = false;
    std::array<int, 20> m_LampCodes = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
    IRunObserver::MessageKind m_MessageKind = IRunObserver::MessageKind::Information;
    QColor m_WindowTextColour;
    IRunObserver* m_Observer = nullptr;
    CloseReason m_CloseReason = CloseReason::Operator;
    bool m_QueryingClose = false;
    bool m_ForcedClosePending = false;
    bool m_Released = false;
    bool m_Exited = false;
    TerminationWatcher* m_TerminationWatcher = nullptr;
};
