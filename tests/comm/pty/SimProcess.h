#pragma once

#include <QProcess>
#include <QStringList>
#include <string>

// The gpsunit-sim program on a pseudo-terminal of its own.
class SimProcess {
  public:
    explicit SimProcess(const QStringList& arguments = {}) {
#ifdef GPSUNIT_SIM_PATH
        process_.start(QStringLiteral(GPSUNIT_SIM_PATH), arguments);
        if (process_.waitForStarted(5000)) {
            while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
            }
            path_ = process_.readLine().trimmed().toStdString();
        }
#else
        (void)arguments;
#endif
    }
    ~SimProcess() {
        if (process_.state() != QProcess::NotRunning) {
            process_.terminate();
            if (!process_.waitForFinished(5000)) {
                process_.kill();
                process_.waitForFinished(5000);
            }
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    static bool Built() {
#ifdef GPSUNIT_SIM_PATH
        return true;
#else
        return false;
#endif
    }
    // The device to open, empty when the program did not come up.
    const std::string& Path() const {
        return path_;
    }
    void Kill() {
        process_.kill();
        process_.waitForFinished(5000);
    }

  private:
    QProcess process_;
    std::string path_;
};
