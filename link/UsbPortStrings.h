#pragma once

// What the system tells of a USB serial port. The system-specific parts
// live in platform/<system>/UsbPortStrings.cpp.

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
// ttyName (e.g. "ttyUSB0"). Returns nothing when the tty is unknown or not on
// a USB device, or the system does not tell; a missing string is empty.
std::optional<UsbPortStrings> readUsbPortStrings(const std::string& ttyName);
// The same from a Linux sysfs tree under sysfsRoot (tests build their own).
std::optional<UsbPortStrings> readUsbPortStrings(const std::string& ttyName, const std::string& sysfsRoot);

// The kernel driver that serves the tty's device ("ftdi_sio"); empty when
// none is bound, the tty is unknown or the system does not tell.
std::string readTtyDriver(const std::string& ttyName);

// The latency timer of an FTDI bridge's tty in milliseconds, where the
// driver offers it.
std::optional<int> readLatencyTimer(const std::string& ttyName);

// The command that sets the tty's latency timer to 1 ms.
std::string latencyTimerCommand(const std::string& ttyName);

} // namespace usblink
