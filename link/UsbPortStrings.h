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

} // namespace usblink
