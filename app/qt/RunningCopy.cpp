#include "RunningCopy.h"

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#endif

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {

// A later copy sends "front", a newline, the file's name in UTF-8 and a
// newline; the running copy answers "ok" and a newline.
constexpr char kRequest[] = "front\n";
constexpr char kAnswer[] = "ok\n";

#ifdef Q_OS_UNIX
// A folder this user owns and nobody else may enter; why not otherwise.
bool Private(const QByteArray& folder, QString& why) {
    struct stat info {};
    if (lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        why = QStringLiteral("%1 is not a folder").arg(QString::fromLocal8Bit(folder));
        return false;
    }
    if (info.st_uid != geteuid() || (info.st_mode & 077) != 0) {
        why = QStringLiteral("%1 is not this user's alone").arg(QString::fromLocal8Bit(folder));
        return false;
    }
    return true;
}
#endif

}  // namespace

RunningCopy::RunningCopy(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

RunningCopy::~RunningCopy() = default;

QString RunningCopy::ForThisUser(QString* why) {
    QString reason;
#ifdef Q_OS_UNIX
    constexpr const char* kSocket = "/gpsupdate.socket";
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && Private(runtime, reason)) {
        return QString::fromLocal8Bit(runtime) + QLatin1String(kSocket);
    }
    // A folder of the user's own in the shared temporary folder: made
    // closed, and used only when it is still the user's and closed (one
    // another user made first is refused, not used).
    const QByteArray folder =
        QFile::encodeName(QDir::tempPath()) + "/gpsupdate-" + QByteArray::number(geteuid());
    if (mkdir(folder.constData(), 0700) != 0 && errno != EEXIST) {
        reason = QStringLiteral("cannot make %1").arg(QString::fromLocal8Bit(folder));
    } else if (Private(folder, reason)) {
        return QString::fromLocal8Bit(folder) + QLatin1String(kSocket);
    }
    if (why != nullptr) {
        *why = reason;
    }
    return {};
#else
    (void)why;
    (void)reason;
    // The home folder tells users apart and holds nothing that a pipe's
    // name cannot.
    const QByteArray user =
        QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("gpsupdate-") + QString::fromLatin1(user.left(16));
#endif
}

bool RunningCopy::PeerIsThisUser(qintptr socket) {
#if defined(Q_OS_LINUX)
    struct ucred peer {};
    socklen_t size = sizeof peer;
    return getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           peer.uid == geteuid();
#elif defined(Q_OS_UNIX)
    uid_t uid = 0;
    gid_t gid = 0;
    return getpeereid(static_cast<int>(socket), &uid, &gid) == 0 && uid == geteuid();
#else
    (void)socket;
    return true;
#endif
}

RunningCopy::HandOverResult RunningCopy::HandOver(const QString& file, int timeoutMs) {
    QLocalSocket socket;
    QEventLoop loop;
    HandOverResult result = HandOverResult::NoAnswer;
    bool decided = false;  // before the loop runs (a local socket connects at once)
    QByteArray answer;
    connect(&socket, &QLocalSocket::connected, &loop, [&] {
        // Only to this user's own copy: another user's socket learns nothing
        // (and this copy starts as the first).
        if (!PeerIsThisUser(socket.socketDescriptor())) {
            result = HandOverResult::NoOtherCopy;
            decided = true;
            loop.quit();
            return;
        }
        socket.write(QByteArray(kRequest) + file.toUtf8() + '\n');
    });
    connect(&socket, &QLocalSocket::readyRead, &loop, [&] {
        answer += socket.readAll();
        if (answer.contains('\n')) {
            result = answer == kAnswer ? HandOverResult::Taken : HandOverResult::NoAnswer;
            loop.quit();
        }
    });
    connect(&socket, &QLocalSocket::errorOccurred, &loop,
            [&](QLocalSocket::LocalSocketError error) {
                if (error == QLocalSocket::ServerNotFoundError ||
                    error == QLocalSocket::ConnectionRefusedError) {
                    result = HandOverResult::NoOtherCopy;
                }
                loop.quit();
            });
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    socket.connectToServer(name_);
    if (!decided && socket.state() != QLocalSocket::UnconnectedState) {
        loop.exec();
    } else if (socket.error() == QLocalSocket::ServerNotFoundError ||
               socket.error() == QLocalSocket::ConnectionRefusedError) {
        result = HandOverResult::NoOtherCopy;
    }
    socket.abort();
    return result;
}

bool RunningCopy::Listen() {
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(name_)) {
        // Left behind by a copy that did not end cleanly: nothing answered
        // on it, so it is taken over.
        QLocalServer::removeServer(name_);
        if (!server_->listen(name_)) {
            return false;
        }
    }
    connect(server_, &QLocalServer::newConnection, this, &RunningCopy::OnNewConnection);
    return true;
}

void RunningCopy::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        if (!PeerIsThisUser(socket->socketDescriptor())) {
            socket->abort();  // another user's: not a copy of this user's program
            continue;
        }
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            // Both lines, or wait for more; anything else is not a copy of
            // this program and is dropped.
            const QByteArray text = socket->peek(4096);
            const qsizetype first = text.indexOf('\n');
            const qsizetype second = first < 0 ? -1 : text.indexOf('\n', first + 1);
            if (second < 0 && text.size() < 4096) {
                return;
            }
            socket->readAll();
            if (second < 0 || text.left(first + 1) != kRequest) {
                socket->abort();
                return;
            }
            socket->write(kAnswer);
            socket->flush();
            // After this handler: the window may open a box for the file.
            const QString file = QString::fromUtf8(text.mid(first + 1, second - first - 1));
            QMetaObject::invokeMethod(
                this, [this, file] { emit broughtToFront(file); }, Qt::QueuedConnection);
        });
    }
}
