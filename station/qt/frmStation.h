#pragma once

#include <QMainWindow>
#include <QTimer>
#include <map>
#include <memory>
#include <set>

#include "QtRunLauncher.h"
#include "QtSerialControl.h"
#include "QtTimerFactory.h"
#include "ResultSounds.h"
#include "Station.h"
#include "StationMeter.h"
#include "StationOptions.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class TileWidget;
class TerminationWatcher;
namespace platform {
class ISettingsStore;
}

// The station's window: the data file, the ports COM1 to COM16, a tile per
// chosen port, start and stop, the result sounds' switch (kept in the
// settings) and the counters since the station started.
// Closing it while runs are under way asks first (unless the host asked it
// to end), then stops every run and closes once their children have ended.
class SqlHistoryStore;

class frmStation final : public QMainWindow {
    Q_OBJECT

  public:
    static constexpr int kRefreshMs = 100;  // tiles are drawn at most this often

    // Where the window keeps the operator's choices.
    static constexpr char kSettingsApp[] = "gpsupdate-station";
    static constexpr char kSettingsSection[] = "Window";
    static constexpr char kSoundKey[] = "Sound";

    frmStation(const StationOptions& options, const QString& autoProgram,
               platform::ISettingsStore& settings, QWidget* parent = nullptr);
    ~frmStation() override;

    Station& Stations() { return station_; }
    void StartChosen();
    double MaxStallMs() const { return meter_.MaxStallMs(); }
    qint64 ElapsedMs() const { return meter_.ElapsedMs(); }
    qint64 MaxStallAtMs() const { return meter_.MaxStallAtMs(); }

  signals:
    // Every run has ended after at least one start.
    void allEnded();

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildWindow();
    // The 提示音 box: ticked as last left (at first: ticked), or by --sound.
    void BuildSoundSwitch(QWidget* parent);
    void ChooseFile();
    void ShowFileVersion();
    void PortToggled(int port, bool on);
    // The tiles in port order, in as many columns as the window holds.
    void LayOutTiles();
    void StartPort(int port);
    void StopPort(int port);
    void StopAllAsked();
    // Asks whether to stop updates under way; true when there are none.
    bool ConfirmStop(const std::set<int>& ports);
    void OpenTrace(int port);
    void Refresh();
    void CloseWhenEnded();
    void MaybeScreenshot();

    StationOptions options_;
    StationMeter meter_;
    platform::QtTimerFactory timers_;
    platform::QtSerialControl serial_;  // names the devices behind the numbers
    QtRunLauncher launcher_;
    ResultSounds sounds_;  // outlives the station, whose runs' ends it plays
    Station station_;
    QLineEdit* file_ = nullptr;
    QLabel* fileVersion_ = nullptr;
    QPushButton* startAll_ = nullptr;
    QCheckBox* continuous_ = nullptr;
    QCheckBox* force_ = nullptr;
    QCheckBox* sound_ = nullptr;
    platform::ISettingsStore& settings_;
    QLabel* counters_ = nullptr;
    std::map<int, QCheckBox*> portBoxes_;
    std::map<int, TileWidget*> tiles_;
    QGridLayout* tileGrid_ = nullptr;
    QScrollArea* tileArea_ = nullptr;
    int columns_ = 0;          // of the tiles' grid as last laid out
    std::size_t laidOut_ = 0;  // tiles in it then
    std::set<int> dirty_;
    // The history of runs the children record into, read for each unit's
    // last update (nullptr: none or unreadable); the serial looked up last
    // on each port.
    std::unique_ptr<SqlHistoryStore> history_;
    std::map<int, std::string> lookedUp_;
    // Runs the history server has not confirmed yet (the children send
    // them on), counted every few seconds.
    void CountWaitingRuns();
    QLabel* waiting_ = nullptr;
    QTimer waitingTimer_;
    QTimer refresh_;
    TerminationWatcher* termination_ = nullptr;
    bool closing_ = false;
    bool screenshotTaken_ = false;
};
