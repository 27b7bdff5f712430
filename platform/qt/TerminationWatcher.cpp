#include "TerminationWatcher.h"

#include <QSocketNotifier>

#if defined(Q_OS_UNIX)
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace {

#if defined(Q_OS_UNIX)
int g_pipe[2] = {-1, -1};
struct sigaction g_previousTerm;
struct sigaction g_previousInt;

void OnTerminationSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    // Async-signal-safe; a full pipe already holds a pending request.
    [[maybe_unused]] const ssize_t written = ::write(g_pipe[1], &byte, 1);
    errno = savedErrno;
}
#endif

}  // namespace

TerminationWatcher::TerminationWatcher(QObject* parent) : QObject(parent) {
#if defined(Q_OS_UNIX)
    if (g_pipe[0] != -1) {
        return;  // another watcher is active
    }
    if (::pipe(g_pipe) != 0) {
        g_pipe[0] = g_pipe[1] = -1;
        return;
    }
    for (int fd : g_pipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    notifier_ = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { OnPipeReadable(); });

    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGTERM, &action, &g_previousTerm);
    ::sigaction(SIGINT, &action, &g_previousInt);
#endif
}

TerminationWatcher::~TerminationWatcher() {
#if defined(Q_OS_UNIX)
    if (notifier_ == nullptr) {
        return;
    }
    ::sigaction(SIGTERM, &g_previousTerm, nullptr);
    ::sigaction(SIGINT, &g_previousInt, nullptr);
    delete notifier_;
    notifier_ = nullptr;
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
#endif
}

void TerminationWatcher::OnPipeReadable() {
#if defined(Q_OS_UNIX)
    char buffer[16];
    bool requested = false;
    while (::read(g_pipe[0], buffer, sizeof buffer) > 0) {
        requested = true;
    }
    if (requested) {
        emit terminationRequested();
    }
#endif
}
