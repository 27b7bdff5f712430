#include "SerialPortList.h"

#include <QFileInfo>
#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <string_view>
#include <utility>

#if defined(Q_OS_UNIX)
#include <dirent.h>
#endif
#if defined(Q_OS_LINUX)
#include <fcntl.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <fstream>
#endif

namespace platform {

namespace {

// The device GPSUPDATE_COM<n> names for port n, or "".
std::string NamedDevice(int port) {
    const std::string variable = "GPSUPDATE_COM" + std::to_string(port);
    const char* named = std::getenv(variable.c_str());
    return named != nullptr ? std::string(named) : std::string();
}

#if defined(Q_OS_LINUX)
// Whether /dev/ttyS<n> is a UART the kernel found, not a placeholder: the
// serial core reports the UART type both through sysfs and TIOCGSERIAL;
// sysfs needs no open (opening a real port toggles its modem lines).
bool IsRealUart(const std::string& name) {
    std::ifstream typeFile("/sys/class/tty/" + name + "/type");
    int type = 0;
    if (typeFile >> type) {
        return type != PORT_UNKNOWN;
    }
    const std::string path = "/dev/" + name;
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    serial_struct info{};
    const bool real = ::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    ::close(fd);
    return real;
}
#endif

}  // namespace

std::string SerialPortList::PortName(int port) {
    return "COM" + std::to_string(port);
}

std::vector<std::string> SerialPortList::OrderDeviceNames(std::vector<std::string> names) {
    static constexpr std::string_view kGroups[] = {"ttyS", "ttyUSB", "ttyACM"};
    struct Ranked {
        std::size_t group;
        unsigned long number;
        std::string name;
    };
    std::vector<Ranked> ranked;
    for (std::string& name : names) {
        for (std::size_t group = 0; group < std::size(kGroups); ++group) {
            const std::string_view prefix = kGroups[group];
            if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
                continue;
            }
            const std::string digits = name.substr(prefix.size());
            if (digits.size() > 6 || !std::all_of(digits.begin(), digits.end(), [](char c) {
                    return std::isdigit(static_cast<unsigned char>(c)) != 0;
                })) {
                continue;
            }
            ranked.push_back({group, std::stoul(digits), std::move(name)});
            break;
        }
    }
    std::sort(ranked.begin(), ranked.end(), [](const Ranked& a, const Ranked& b) {
        return a.group != b.group ? a.group < b.group : a.number < b.number;
    });
    std::vector<std::string> ordered;
    for (Ranked& entry : ranked) {
        ordered.push_back(std::move(entry.name));
    }
    return ordered;
}

std::vector<std::string> SerialPortList::SerialDevices() {
    std::vector<std::string> devices;
#if defined(Q_OS_WIN)
    for (int port = 1; port <= 16; ++port) {
        devices.push_back(PortName(port));
    }
#elif defined(Q_OS_UNIX)
    std::vector<std::string> names;
    if (DIR* dir = ::opendir("/dev")) {
        while (const dirent* entry = ::readdir(dir)) {
            names.emplace_back(entry->d_name);
        }
        ::closedir(dir);
    }
    for (std::string& name : OrderDeviceNames(std::move(names))) {
#if defined(Q_OS_LINUX)
        if (name.compare(0, 4, "ttyS") == 0 && !IsRealUart(name)) {
            continue;
        }
#endif
        devices.push_back("/dev/" + name);
    }
#endif
    return devices;
}

PortFacts SerialPortList::DescribePort(int port) {
    const std::string device = DeviceForPort(port);
    // Asking the system for its port list costs a walk through its device
    // tree; a number without a device needs none.
    return Describe(port, device,
                    device.empty() ? QList<QSerialPortInfo>() : QSerialPortInfo::availablePorts());
}

std::vector<PortFacts> SerialPortList::DescribePorts(int count) {
    const std::vector<std::string> devices = SerialDevices();
    const QList<QSerialPortInfo> known = QSerialPortInfo::availablePorts();
    std::vector<PortFacts> all;
    for (int port = 1; port <= count; ++port) {
        all.push_back(Describe(port, DeviceForPort(port, devices), known));
    }
    return all;
}

PortFacts SerialPortList::Describe(int port, const std::string& device,
                                   const QList<QSerialPortInfo>& known) {
    PortFacts facts;
    facts.device = device;
    facts.named = !NamedDevice(port).empty();
    if (facts.device.empty()) {
        return facts;
    }
    // A link (such as /dev/serial/by-id/...) stands for the device it names.
    const QFileInfo file(QString::fromStdString(facts.device));
    const QString canonical = file.exists() ? file.canonicalFilePath() : QString();
    for (const QSerialPortInfo& info : known) {
        const QString location = info.systemLocation();
        if (location == QString::fromStdString(facts.device) ||
            info.portName() == QString::fromStdString(facts.device) ||
            (!canonical.isEmpty() && location == canonical)) {
            facts.present = true;
            facts.description = info.description().toStdString();
            facts.manufacturer = info.manufacturer().toStdString();
            facts.serialNumber = info.serialNumber().toStdString();
            return facts;
        }
    }
#if !defined(Q_OS_WIN)
    facts.present = file.exists();
#endif
    return facts;
}

std::string SerialPortList::DeviceForPort(int port) {
    if (port >= 1 && !NamedDevice(port).empty()) {
        return NamedDevice(port);  // no need to look through the devices
    }
    return DeviceForPort(port, SerialDevices());
}

std::string SerialPortList::DeviceForPort(int port, const std::vector<std::string>& devices) {
    if (port < 1) {
        return {};
    }
    if (std::string named = NamedDevice(port); !named.empty()) {
        return named;
    }
#if defined(Q_OS_WIN)
    (void)devices;
    return PortName(port);
#else
    return static_cast<std::size_t>(port) <= devices.size() ? devices[port - 1] : std::string();
#endif
}

}  // namespace platform
