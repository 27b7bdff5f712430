#include "RunningCopy.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

namespace {

// A later copy sends "front", a newline, the file's name in UTF-8 and a
// newline; the running copy answers "ok" and a newline.
constexpr char kRequest[] = "front\n";
constexpr char kAnswer[] = "ok\n";

}  // namespace

RunningCopy::RunningCopy(QString name, QObject* parent) : QObject(parent), name_(std::move(name)) {}

RunningCopy::~RunningCopy() = default;

QString RunningCopy::ForThisUser() {
    // The home folder tells users apart on every system and holds nothing
    // that a socket name cannot.
    const QByteArray user =
        QCryptographicHash::hash(QDir::homePath().toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("gpsupdate-") + QString::fromLatin1(user.left(16));
}

RunningCopy::HandOverResult RunningCopy::HandOver(const QString& file, int timeoutMs) {
    QLocalSocket socket;
    QEventLoop loop;
    HandOverResult result = HandOverResult::NoAnswer;
    QByteArray answer;
    connect(&socket, &QLocalSocket::connected, &loop,
            [&] { socket.write(QByteArray(kRequest) + file.toUtf8() + '\n'); });
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
    if (socket.state() != QLocalSocket::UnconnectedState) {
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
