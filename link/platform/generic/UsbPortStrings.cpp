// USB serial ports where the system does not describe them: the strings
// come from the serial port listing alone.
#include "UsbPortStrings.h"

namespace usblink {

std::optional<UsbPortStrings> readUsbPortStrings(const std::string&)
{
    return std::nullopt;
}

std::optional<UsbPortStrings> readUsbPortStrings(const std::string&, const std::string&)
{
    return std::nullopt;
}

std::string readTtyDriver(const std::string&)
{
    return {};
}

std::optional<int> readLatencyTimer(const std::string&)
{
    return std::nullopt;
}

std::string latencyTimerCommand(const std::string&)
{
    return {};
}

} // namespace usblink
