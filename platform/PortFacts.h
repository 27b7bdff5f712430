#pragma once

#include <string>

namespace platform {

// What the system knows of the device behind a COM number.
struct PortFacts {
    std::string device;        // "COM3", "/dev/ttyUSB0", ...; empty: no device has the number
    bool named = false;        // the device was named by GPSUPDATE_COM<n>
    bool present = false;      // the device exists now
    std::string description;   // e.g. "FT232R USB UART"
    std::string manufacturer;  // e.g. "FTDI"
    std::string serialNumber;  // of a USB adapter
};

}  // namespace platform
