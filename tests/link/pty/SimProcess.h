#pragma once

#include <QProcess>
#include <QStringList>
#include <string>

// The gpsunit-sim program on a pseudo-terminal of its own; Path() is the
// device it printed, empty when it did not come up.
class SimProcess {
  public:
    explicit SimProcess(const QStringList& arguments = {}) {
        process_.start(QStringLiteral(GPSUNIT_SIM_PATH), arguments);
        while (process_.waitForStarted(5000) && !process_.canReadLine() &&
               process_.waitForReadyRead(5000)) {
        }
        path_ = process_.readLine().trimmed().toStdString();
    }
    ~SimProcess() {
        process_.terminate();
        if (!process_.waitForFinished(5000)) {
            Kill();
        }
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& Path() const { return path_; }
    void Kill() {
        process_.kill();
        process_.waitForFinished(5000);
    }

  private:
    QProcess process_;
    std::string path_;
};
