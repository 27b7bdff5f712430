#pragma once

#include <QObject>

class QSocketNotifier;

// Turns the host's requests to end the program (SIGTERM, SIGINT on POSIX
// hosts) into a signal on the GUI thread. The signal handler only writes one
// byte into a pipe; a socket notifier reads it in the event loop. One watcher
// is active at a time; a second one made while the first lives stays idle.
// The previous signal dispositions come back when the active watcher goes.
class TerminationWatcher final : public QObject {
    Q_OBJECT

  public:
    explicit TerminationWatcher(QObject* parent = nullptr);
    ~TerminationWatcher() override;

    // Whether this watcher receives the host's requests.
    bool Active() const { return notifier_ != nullptr; }

  signals:
    void terminationRequested();

  private:
    void OnPipeReadable();

    QSocketNotifier* notifier_ = nullptr;
};
