#pragma once

#include <QObject>
#include <QString>
#include <deque>
#include <map>
#include <memory>

#include "IRunLauncher.h"

class QProcess;
class QTimer;

// Each run a gpsupdate-auto child (QProcess) with the station's environment,
// off screen. Output lines are handed on as they come. Stop asks the child
// to end as the host asks a window to (SIGTERM), and kills it if it has not
// ended after kStopGraceMs. On Linux a child is also told to end when the
// station dies, so none outlives it.
//
// Runs started together are started one after the other: the next once the
// one before has written its first line (its start-up, a few tenths of a
// second of CPU, is over) or after kStartSpacingMs. A burst of start-ups
// would freeze the window and could starve the runs already talking to
// their units past their reply time-outs on a small PC.
class QtRunLauncher final : public QObject, public IRunLauncher {
    Q_OBJECT

  public:
    static constexpr int kStopGraceMs = 10000;
    static constexpr int kStartSpacingMs = 1000;

    // program: the gpsupdate-auto to run.
    explicit QtRunLauncher(QString program, QObject* parent = nullptr);
    ~QtRunLauncher() override;

    Id Start(const RunRequest& request, Events events, std::string& error) override;
    void Stop(Id id) override;
    void Kill(Id id) override;
    std::string DeviceForPort(int port) const override;
    bool DevicePresent(const std::string& device) const override;
    std::string DataFileProblem(const std::string& file) const override;

    // The arguments of a run's child.
    static QStringList Arguments(const RunRequest& request);
    int Running() const { return static_cast<int>(runs_.size()); }

  private:
    struct Run {
        QProcess* process = nullptr;
        Events events;
        QByteArray pending;  // output after the last line feed
        QByteArray errors;   // the tail of its standard error
        QTimer* killTimer = nullptr;
        QStringList arguments;
        bool started = false;
    };
    void OnOutput(Id id);
    void OnFinished(Id id, int code, bool crashed);
    // Starts the oldest queued run unless one is still starting up.
    void StartNext();
    // The run that was starting has started (or ended): the next may go.
    void StartupOver(Id id);

    QString program_;
    std::map<Id, Run> runs_;
    Id lastId_ = 0;
    std::deque<Id> queued_;
    Id startingUp_ = 0;  // the run whose start-up the queue waits for
    QTimer* spacing_ = nullptr;
};
