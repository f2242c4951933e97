#pragma once

#include <optional>
#include <string>

namespace usblink {

// The strings a USB serial bridge keeps in its EEPROM, as the device reports
// them (and as D2XX would list them).
struct UsbPortStrings {
    std::string product;
    std::string serial;
};

// Reads product and serial number of the USB device that owns the tty named
// ttyName (e.g. "ttyUSB0") from sysfs under sysfsRoot. Returns nothing when
// the tty is unknown or not on a USB device; a missing file gives an empty
// string for that field.
std::optional<UsbPortStrings> readUsbPortStrings(const std::string& ttyName, const std::string& sysfsRoot = "/sys");

// The kernel driver that serves the tty's device ("ftdi_sio"); empty when
// none is bound or the tty is unknown.
std::string readTtyDriver(const std::string& ttyName, const std::string& sysfsRoot = "/sys");

// The latency timer of an FTDI bridge's tty in milliseconds, where the
// driver offers it.
std::optional<int> readLatencyTimer(const std::string& ttyName, const std::string& sysfsRoot = "/sys");

} // namespace usblink
