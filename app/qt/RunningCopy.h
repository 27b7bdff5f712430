#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One copy of the window per user. The first copy listens on a local socket
// of the user's; a later one hands its data file to it, which comes to the
// front, and ends. On Unix the socket lives in a folder only the user may
// enter (the per-user runtime folder), and a copy hands its file over, or
// takes one, only when the other end runs as the same user (the socket's
// peer credentials): another user can neither stand in for the running copy
// nor learn the file's path.
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

    // The socket of this user: on Unix $XDG_RUNTIME_DIR/gpsupdate.socket
    // when that folder is the user's own and closed to others (0700), else
    // gpsupdate.socket in <temporary folder>/gpsupdate-<uid>, a folder made
    // 0700 and checked to be the user's; empty, with the reason in `why`,
    // when no such folder can be had. On Windows a pipe named for the user.
    static QString ForThisUser(QString* why = nullptr);
    // Whether the process at the other end of a connected local socket runs
    // as this user (on Windows the pipe's rights see to it: true).
    static bool PeerIsThisUser(qintptr socket);

  signals:
    // A later copy asked this one to come to the front with `file` (empty:
    // none given).
    void broughtToFront(const QString& file);

  private:
    void OnNewConnection();

    QString name_;
    QLocalServer* server_ = nullptr;
};
