#include "QtSerialControl.h"

#include <QMetaObject>
#include <cerrno>
#include <cstring>

#if defined(Q_OS_UNIX)
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <linux/serial.h>
#endif

namespace platform {

namespace {

std::string PortName(int port) {
    return SerialPortList::PortName(port);
}

std::string ErrnoText(int error) {
    return std::strerror(error);
}

}  // namespace

QtSerialControl::QtSerialControl(QObject* parent) : QObject(parent) {
    connect(&port_, &QSerialPort::readyRead, this, &QtSerialControl::OnReadyRead);
    connect(&port_, &QSerialPort::bytesWritten, this, &QtSerialControl::OnBytesWritten);
    connect(&port_, &QSerialPort::errorOccurred, this, &QtSerialControl::OnErrorOccurred);
}

QtSerialControl::~QtSerialControl() {
    onComm_ = nullptr;
    if (port_.isOpen()) {
        port_.close();
    }
}

// --- Properties --------------------------------------------------------------

void QtSerialControl::SetCommPort(int port) {
    if (port_.isOpen()) {
        throw SerialControlError(PortName(commPort_) +
                                 ": the port number cannot change while the port is open");
    }
    if (port < 1) {
        throw SerialControlError("Invalid port number " + std::to_string(port));
    }
    commPort_ = port;
}

void QtSerialControl::SetSettings(const std::string& settings) {
    const auto parsed = LineSettings::Parse(settings);
    if (!parsed) {
        throw SerialControlError("Invalid line settings \"" + settings + "\"");
    }
    settings_ = settings;
    line_ = *parsed;
    if (port_.isOpen()) {
        ApplyLineSettings(line_);
    }
}

void QtSerialControl::ApplyLineSettings(const LineSettings& line) {
    if (!port_.setBaudRate(line.baud)) {
        throw SerialControlError(device_ + ": the port refuses " + std::to_string(line.baud) +
                                 " baud (" + port_.errorString().toStdString() + ")");
    }
    port_.setDataBits(static_cast<QSerialPort::DataBits>(line.dataBits));
    switch (line.parity) {
        case 'E':
            port_.setParity(QSerialPort::EvenParity);
            break;
        case 'O':
            port_.setParity(QSerialPort::OddParity);
            break;
        case 'M':
            port_.setParity(QSerialPort::MarkParity);
            break;
        case 'S':
            port_.setParity(QSerialPort::SpaceParity);
            break;
        default:
            port_.setParity(QSerialPort::NoParity);
            break;
    }
    port_.setStopBits(line.stopBitsTenths == 20   ? QSerialPort::TwoStop
                      : line.stopBitsTenths == 15 ? QSerialPort::OneAndHalfStop
                                                  : QSerialPort::OneStop);
    port_.setFlowControl(options_.handshaking == 2   ? QSerialPort::HardwareControl
                         : options_.handshaking == 1 ? QSerialPort::SoftwareControl
                                                     : QSerialPort::NoFlowControl);
}

bool QtSerialControl::PortOpen() const {
    return port_.isOpen();
}

void QtSerialControl::SetPortOpen(bool open) {
    if (open) {
        Open();
    } else {
        Close();
    }
}

void QtSerialControl::Open() {
    if (port_.isOpen()) {
        throw SerialControlError(PortName(commPort_) + ": the port is already open");
    }
    device_ = DeviceForPort(commPort_);
    if (device_.empty()) {
        throw SerialControlError(
            PortName(commPort_) + ": no serial device has this number on this computer (" +
                std::to_string(SerialPortList::SerialDevices().size()) + " found)",
            PortFault::NoDevice);
    }
    goneReason_.clear();
    port_.setPortName(QString::fromStdString(device_));
    ApplyLineSettings(line_);
    port_.clearError();
    if (!port_.open(QIODevice::ReadWrite)) {
        PortFault kind = PortFault::Other;
        const std::string description = DescribeOpenFailure(port_.error(), kind);
        port_.clearError();
        throw SerialControlError(description, kind);
    }
    LockDevice();
    ++session_;
    receivePending_ = false;
    sendPending_ = false;
    closePending_ = false;
    // Some devices (a pseudo-terminal) have no modem lines; that is no fault.
    port_.setDataTerminalReady(options_.dtrEnable);
    port_.clearError();
    RequestLowLatency();
}

void QtSerialControl::Close() {
    if (!port_.isOpen()) {
        return;
    }
    // Closing hands nothing back: whatever the operating system already holds
    // is still sent, so a frame reported as sent reaches the far side.
    port_.close();
    ++session_;
    receivePending_ = false;
    sendPending_ = false;
    closePending_ = false;
    goneReason_.clear();
}

void QtSerialControl::LockDevice() {
#if defined(Q_OS_UNIX)
    // One run per device: the lock is on the opened device itself, so a
    // second program (of any user, root too) is refused whatever name it
    // opens the device by (a /dev/serial/by-id link and its target are one
    // device). Qt's own lock is a file named after the path, and root
    // passes the terminal's exclusive mode.
    const int fd = static_cast<int>(port_.handle());
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        port_.close();
        throw SerialControlError(PortName(commPort_) + " (" + device_ +
                                     "): the port is busy, another program holds it (the device "
                                     "is locked)",
                                 PortFault::Busy);
    }
#endif
}

std::string QtSerialControl::DescribeOpenFailure(QSerialPort::SerialPortError error,
                                                 PortFault& kind) const {
    const std::string where = PortName(commPort_) + " (" + device_ + ")";
    const std::string qtText = port_.errorString().toStdString();
    kind = PortFault::Other;
    switch (error) {
        case QSerialPort::DeviceNotFoundError:
            kind = PortFault::NoDevice;
            return where + ": no such device (" + qtText + ")";
        case QSerialPort::PermissionError: {
#if defined(Q_OS_UNIX)
            // Locked by another program and not accessible to this user
            // both come back as a permission error; the file's access rights
            // tell them apart.
            if (::access(device_.c_str(), R_OK | W_OK) != 0) {
                const int accessError = errno;
                if (accessError == ENOENT) {
                    kind = PortFault::NoDevice;
                    return where + ": no such device (" + ErrnoText(accessError) + ")";
                }
                kind = PortFault::PermissionDenied;
                return where + ": permission denied (" + ErrnoText(accessError) +
                       "); the user needs read and write access to the device, usually "
                       "by membership of the dialout group (log in again after adding it)";
            }
#endif
            kind = PortFault::Busy;
            return where + ": the port is busy, another program holds it (" + qtText + ")";
        }
        default:
            return where + ": the port cannot be opened (" + qtText + ")";
    }
}

void QtSerialControl::RequestLowLatency() {
    lowLatencyGranted_ = false;
#if defined(Q_OS_LINUX)
    // USB serial adapters otherwise collect input for up to 16 ms before
    // passing it on, which a stop-and-wait exchange pays on every frame.
    const int fd = static_cast<int>(port_.handle());
    serial_struct info{};
    if (::ioctl(fd, TIOCGSERIAL, &info) != 0) {
        lowLatencyAnswer_ = "TIOCGSERIAL: " + ErrnoText(errno);
        return;
    }
    if ((info.flags & ASYNC_LOW_LATENCY) != 0) {
        lowLatencyGranted_ = true;
        lowLatencyAnswer_ = "already set";
        return;
    }
    info.flags |= ASYNC_LOW_LATENCY;
    if (::ioctl(fd, TIOCSSERIAL, &info) != 0) {
        lowLatencyAnswer_ = "TIOCSSERIAL: " + ErrnoText(errno);
        return;
    }
    serial_struct check{};
    lowLatencyGranted_ =
        ::ioctl(fd, TIOCGSERIAL, &check) == 0 && (check.flags & ASYNC_LOW_LATENCY) != 0;
    lowLatencyAnswer_ = lowLatencyGranted_ ? "granted" : "accepted but not kept";
#else
    lowLatencyAnswer_ = "not available on this platform";
#endif
}

int QtSerialControl::InBufferCount() const {
    return port_.isOpen() ? static_cast<int>(port_.bytesAvailable()) : 0;
}

void QtSerialControl::SetInBufferCount(int count) {
    if (count == 0 && port_.isOpen()) {
        port_.clear(QSerialPort::Input);
    }
}

int QtSerialControl::OutBufferCount() const {
    return port_.isOpen() ? static_cast<int>(port_.bytesToWrite()) : 0;
}

void QtSerialControl::SetOutBufferCount(int count) {
    // Only bytes still held here are unsent. Flushing the operating system's
    // buffer as well would cut a frame already reported as sent (on a
    // pseudo-terminal, even one the far side has simply not read yet).
    if (count == 0 && port_.isOpen() && port_.bytesToWrite() > 0) {
        port_.clear(QSerialPort::Output);
        port_.clearError();
    }
}

void QtSerialControl::SetDTREnable(bool enable) {
    options_.dtrEnable = enable;
    if (port_.isOpen()) {
        port_.setDataTerminalReady(enable);
        port_.clearError();
    }
}

void QtSerialControl::SetHandshaking(int mode) {
    options_.handshaking = mode;
    if (port_.isOpen()) {
        ApplyLineSettings(line_);
    }
}

std::vector<std::uint8_t> QtSerialControl::Input() {
    if (!port_.isOpen()) {
        return {};
    }
    const QByteArray bytes = port_.readAll();
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

void QtSerialControl::Output(std::span<const std::uint8_t> bytes) {
    if (!port_.isOpen()) {
        if (!goneReason_.empty()) {
            throw SerialControlError(goneReason_, PortFault::Gone);
        }
        throw SerialControlError(PortName(commPort_) + ": the port is not open");
    }
    if (bytes.empty()) {
        if (port_.bytesToWrite() == 0 && options_.sThreshold >= 1) {
            Post(kEventSend);
        }
        return;
    }
    writing_ = true;
    const qint64 queued =
        port_.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    writing_ = false;
    if (queued != static_cast<qint64>(bytes.size())) {
        const std::string description =
            device_ + ": the frame cannot be sent (" + port_.errorString().toStdString() + ")";
        port_.clearError();
        throw SerialControlError(description, PortFault::Gone);
    }
    // Onto the line now rather than on the loop's next pass: the frame's
    // wire time starts at once. Whatever the device does not take yet goes
    // when it is writable, as before.
    writing_ = true;
    port_.flush();
    writing_ = false;
}

// --- Notifications -------------------------------------------------------------

void QtSerialControl::OnReadyRead() {
    // Straight from the port's own signal, which comes from the event loop
    // and never from inside a property access: a reply is handed on without
    // another pass of the loop. Inside a notification still being handled (a
    // message box of the owner's lets the loop run), it waits its turn.
    if (!delivering_ && port_.isOpen() && !receivePending_ && options_.rThreshold > 0 &&
        port_.bytesAvailable() >= options_.rThreshold) {
        Deliver(kEventReceive, session_);
        return;
    }
    CheckReceiveLevel();
}

void QtSerialControl::OnBytesWritten(qint64) {
    if (port_.bytesToWrite() == 0 && options_.sThreshold >= 1) {
        // From the event loop (the port became writable), the notice is
        // handed on at once, as a reply is: posting it cost a pass of the
        // loop and a wake-up at every block. Reported from inside Output or
        // inside a notification still being handled, it waits its turn.
        if (!writing_ && !delivering_ && !sendPending_) {
            Deliver(kEventSend, session_);
            return;
        }
        Post(kEventSend);
    }
}

void QtSerialControl::OnErrorOccurred(QSerialPort::SerialPortError error) {
    // A device that went away shows as a resource error (USB adapter pulled)
    // or as reads that find the line hung up (far side of a pseudo-terminal
    // closed), which the port would otherwise report again on every pass of
    // the event loop.
    // A write the device refused is treated the same way: the frame is lost
    // and no send notice will come, so the port is given up and the next
    // send is refused with the reason.
    const bool writeFailed = error == QSerialPort::WriteError;
    const bool gone = error == QSerialPort::ResourceError || writeFailed ||
                      (error == QSerialPort::ReadError && HungUp());
    if (!gone || closePending_) {
        return;
    }
    // Close outside the port's own signal. The cycle in progress ends by its
    // time-out, and the next open finds no device.
    closePending_ = true;
    const std::uint64_t session = session_;
    const std::string reason =
        PortName(commPort_) + " (" + device_ +
        (writeFailed ? "): the device refused a write (" : "): the device has gone away (") +
        port_.errorString().toStdString() + ")";
    QMetaObject::invokeMethod(
        this,
        [this, session, reason] {
            if (session == session_) {
                Close();
                port_.clearError();
                goneReason_ = reason;
            }
        },
        Qt::QueuedConnection);
}

bool QtSerialControl::HungUp() const {
#if defined(Q_OS_UNIX)
    pollfd check{static_cast<int>(port_.handle()), POLLIN, 0};
    return ::poll(&check, 1, 0) > 0 && (check.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
#else
    return false;
#endif
}

void QtSerialControl::CheckReceiveLevel() {
    if (port_.isOpen() && !receivePending_ && options_.rThreshold > 0 &&
        port_.bytesAvailable() >= options_.rThreshold) {
        Post(kEventReceive);
    }
}

void QtSerialControl::Post(int event) {
    bool& pending = event == kEventReceive ? receivePending_ : sendPending_;
    if (pending) {
        return;
    }
    pending = true;
    const std::uint64_t session = session_;
    QMetaObject::invokeMethod(
        this, [this, event, session] { Deliver(event, session); }, Qt::QueuedConnection);
}

void QtSerialControl::Deliver(int event, std::uint64_t session) {
    if (session != session_ || !port_.isOpen()) {
        return;
    }
    if (event == kEventReceive) {
        receivePending_ = false;
        if (options_.rThreshold <= 0 || port_.bytesAvailable() < options_.rThreshold) {
            return;
        }
    } else {
        sendPending_ = false;
    }
    commEvent_ = event;
    if (auto handler = onComm_) {
        const bool outer = !delivering_;
        delivering_ = true;
        handler();
        if (outer) {
            delivering_ = false;
        }
    }
    if (event == kEventSend) {
        // A reply may have overtaken this notice and been ignored meanwhile.
        CheckReceiveLevel();
    }
}

}  // namespace platform
