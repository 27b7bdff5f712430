#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <string>
#include <vector>

#include "PortFacts.h"

namespace platform {

// Port numbers and the devices behind them. On Windows port n is "COMn". On
// Linux the serial devices that exist are numbered in this order: the
// hardware UARTs /dev/ttyS* (only those the kernel reports with a real UART
// type), then /dev/ttyUSB*, then /dev/ttyACM*, each in numeric order, as
// COM1, COM2, ... The environment variable GPSUPDATE_COM<n> names the device
// for port n outright (any path).
class SerialPortList {
  public:
    // "COMn".
    static std::string PortName(int port);
    // The device behind port n ("COMn" on Windows, a path on Linux), or ""
    // when no device has that number.
    static std::string DeviceForPort(int port);
    // The device behind port n and what the system knows of it.
    static PortFacts DescribePort(int port);
    static std::vector<PortFacts> DescribePorts(int count);
    // The serial devices of this machine in port order (Linux: full paths).
    static std::vector<std::string> SerialDevices();
    // Orders device names (as in /dev) into port order: ttyS*, ttyUSB*,
    // ttyACM*, each by number; every other name is left out.
    static std::vector<std::string> OrderDeviceNames(std::vector<std::string> names);

  private:
    static std::string DeviceForPort(int port, const std::vector<std::string>& devices);
    static PortFacts Describe(int port, const std::string& device,
                              const QList<QSerialPortInfo>& known);
};

}  // namespace platform
