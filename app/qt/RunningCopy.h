#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One copy of the window per user. The first copy listens on a local socket
// named for the user; a later one hands its data file to it, which comes to
// the front, and ends. The socket is local to the machine and, on Unix, only
// the user can open it.
class RunningCopy final : public QObject {
    Q_OBJECT

  public:
    // `name`: the socket's name; ForThisUser() in the program.
    explicit RunningCopy(QString name, QObject* parent = nullptr);
    ~RunningCopy() override;
    RunningCopy(const RunningCopy&) = delete;
    RunningCopy& operator=(const RunningCopy&) = delete;

    enum class HandOverResult {
        NoOtherCopy,  // nothing listens: this copy is the first
        Taken,        // the running copy came to the front
        NoAnswer,     // something listens but did not answer in time
    };

    // Asks a running copy to come to the front and take `file` (may be
    // empty). Runs the event loop until it answers, refuses or `timeoutMs`
    // pass.
    HandOverResult HandOver(const QString& file, int timeoutMs);
    // Listens for later copies; a socket left behind by a copy that did not
    // end cleanly is replaced. False when the socket cannot be made.
    bool Listen();

    // A name for the socket that differs between users of the machine.
    static QString ForThisUser();

  signals:
    // A later copy asked this one to come to the front with `file` (empty:
    // none given).
    void broughtToFront(const QString& file);

  private:
    void OnNewConnection();

    QString name_;
    QLocalServer* server_ = nullptr;
};
