#include "QtRunLauncher.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTimer>
#include <filesystem>

#include "QtSerialControl.h"
#include "clsUpdateSequence.h"
#include "mduDataFileCheck.h"

#if defined(Q_OS_LINUX)
#include <signal.h>
#include <sys/prctl.h>
#endif

namespace {
constexpr int kErrorTailBytes = 400;
}

QtRunLauncher::QtRunLauncher(QString program, QObject* parent)
    : QObject(parent), program_(std::move(program)) {}

QtRunLauncher::~QtRunLauncher() {
    // Ends what still runs; their callbacks are not called any more.
    for (auto& [id, run] : runs_) {
        run.process->disconnect(this);
        delete run.process;  // kills it and waits for it
    }
}

QStringList QtRunLauncher::Arguments(const RunRequest& request) {
    QStringList args;
    const bool wait = request.action == RunRequest::Action::Wait;
    args << QStringLiteral("--action") << (wait ? QStringLiteral("wait") : QStringLiteral("update"))
         << QStringLiteral("--port") << QString::number(request.port);
    if (wait) {
        args << QStringLiteral("--poll-seconds") << QString::number(request.pollSeconds);
        if (!request.lastSerial.empty()) {
            args << QStringLiteral("--last-serial") << QString::fromStdString(request.lastSerial);
        }
    }
    args << QStringLiteral("--file") << QString::fromStdString(request.file)
         << QStringLiteral("--confirm")
         << (request.force ? QStringLiteral("ok") : QStringLiteral("cancel"));
    if (request.timeoutSeconds > 0) {
        args << QStringLiteral("--timeout") << QString::number(request.timeoutSeconds, 'f', 0);
    }
    if (!request.trace.empty()) {
        args << QStringLiteral("--trace") << QString::fromStdString(request.trace);
    }
    if (!request.history.empty()) {
        args << QStringLiteral("--history") << QString::fromStdString(request.history);
    }
    if (!request.historyServer.empty()) {
        args << QStringLiteral("--history-server") << QString::fromStdString(request.historyServer);
    }
    return args;
}

IRunLauncher::Id QtRunLauncher::Start(const RunRequest& request, Events events,
                                      std::string& error) {
    if (!QFileInfo(program_).isExecutable()) {
        error = program_.toStdString() + ": no such program";
        return 0;
    }
    auto* process = new QProcess(this);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process->setProcessEnvironment(env);
#if defined(Q_OS_LINUX)
    // Told to end (as by the host) when the station's thread goes.
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#endif
    const Id id = ++lastId_;
    Run& run = runs_[id];
    run.process = process;
    run.events = std::move(events);
    connect(process, &QProcess::readyReadStandardOutput, this, [this, id] { OnOutput(id); });
    connect(process, &QProcess::readyReadStandardError, this, [this, id] {
        auto it = runs_.find(id);
        if (it != runs_.end()) {
            it->second.errors += it->second.process->readAllStandardError();
            it->second.errors = it->second.errors.right(kErrorTailBytes);
        }
    });
    connect(process, &QProcess::finished, this, [this, id](int code, QProcess::ExitStatus status) {
        OnFinished(id, code, status == QProcess::CrashExit);
    });
    // Queued: the station hears of a failed start only after Start returned.
    connect(
        process, &QProcess::errorOccurred, this,
        [this, id](QProcess::ProcessError failure) {
            auto it = runs_.find(id);
            if (failure == QProcess::FailedToStart && it != runs_.end()) {
                it->second.errors = it->second.process->errorString().toUtf8();
                OnFinished(id, 0, true);
            }
        },
        Qt::QueuedConnection);
    run.arguments = Arguments(request);
    queued_.push_back(id);
    // Posted: Start returns before anything happens.
    QTimer::singleShot(0, this, [this] { StartNext(); });
    return id;
}

void QtRunLauncher::StartNext() {
    if (startingUp_ != 0) {
        return;
    }
    while (!queued_.empty()) {
        const Id id = queued_.front();
        queued_.pop_front();
        auto it = runs_.find(id);
        if (it == runs_.end() || it->second.started) {
            continue;
        }
        it->second.started = true;
        startingUp_ = id;
        if (spacing_ == nullptr) {
            spacing_ = new QTimer(this);
            spacing_->setSingleShot(true);
            connect(spacing_, &QTimer::timeout, this, [this] { StartupOver(startingUp_); });
        }
        spacing_->start(kStartSpacingMs);
        it->second.process->start(program_, it->second.arguments, QIODevice::ReadOnly);
        return;
    }
}

void QtRunLauncher::StartupOver(Id id) {
    if (id == 0 || id != startingUp_) {
        return;
    }
    startingUp_ = 0;
    spacing_->stop();
    QTimer::singleShot(0, this, [this] { StartNext(); });
}

void QtRunLauncher::OnOutput(Id id) {
    auto it = runs_.find(id);
    if (it == runs_.end()) {
        return;
    }
    Run& run = it->second;
    run.pending += run.process->readAllStandardOutput();
    if (run.pending.contains('\n')) {
        StartupOver(id);
    }
    qsizetype start = 0;
    for (qsizetype end = run.pending.indexOf('\n'); end >= 0;
         end = run.pending.indexOf('\n', start)) {
        const std::string line(run.pending.constData() + start,
                               static_cast<std::size_t>(end - start));
        start = end + 1;
        if (run.events.onLine) {
            run.events.onLine(line);
        }
        if (runs_.find(id) == runs_.end()) {
            return;
        }
    }
    run.pending.remove(0, start);
}

void QtRunLauncher::OnFinished(Id id, int code, bool crashed) {
    OnOutput(id);  // what is left before the end
    auto it = runs_.find(id);
    if (it == runs_.end()) {
        return;
    }
    Run run = std::move(it->second);
    runs_.erase(it);
    StartupOver(id);
    if (!run.pending.isEmpty() && run.events.onLine) {
        run.events.onLine(run.pending.toStdString());
    }
    ChildExit exit;
    exit.crashed = crashed;
    exit.code = code;
    exit.error = QString::fromUtf8(run.errors).trimmed().toStdString();
    run.process->deleteLater();
    if (run.events.onExit) {
        run.events.onExit(exit);
    }
}

void QtRunLauncher::Stop(Id id) {
    auto it = runs_.find(id);
    if (it == runs_.end()) {
        return;
    }
    Run& run = it->second;
    if (!run.started) {
        Kill(id);
        return;
    }
    run.process->terminate();
    if (run.killTimer == nullptr) {
        run.killTimer = new QTimer(run.process);
        run.killTimer->setSingleShot(true);
        connect(run.killTimer, &QTimer::timeout, this, [this, id] { Kill(id); });
        run.killTimer->start(kStopGraceMs);
    }
}

void QtRunLauncher::Kill(Id id) {
    auto it = runs_.find(id);
    if (it == runs_.end()) {
        return;
    }
    if (it->second.started) {
        it->second.process->kill();
        return;
    }
    // Never started: it ends now, as a run that was ended.
    it->second.started = true;
    constexpr int kTerminated = 15;  // as by SIGTERM
    QTimer::singleShot(0, this, [this, id] { OnFinished(id, kTerminated, true); });
}

std::string QtRunLauncher::DataFileProblem(const std::string& file) const {
    const mduDataFileCheck::Result check =
        mduDataFileCheck::Check(file, clsUpdateSequence::kToolVersion);
    return check.loaded ? std::string() : check.message;
}

bool QtRunLauncher::DevicePresent(const std::string& device) const {
#if defined(Q_OS_UNIX)
    std::error_code error;
    return !device.empty() && std::filesystem::exists(device, error);
#else
    return !device.empty();
#endif
}

std::string QtRunLauncher::DeviceForPort(int port) const {
    return platform::QtSerialControl::DeviceForPort(port);
}
