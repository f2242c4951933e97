// USB serial ports on Linux, as sysfs describes them.
#include "UsbPortStrings.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace usblink {
namespace {

constexpr const char* SysfsRoot = "/sys";

fs::path ttyDevice(const std::string& ttyName, const fs::path& sysfsRoot)
{
    return sysfsRoot / "class" / "tty" / ttyName / "device";
}

// First line of a sysfs attribute, or "" when the file is missing.
std::string readAttribute(const fs::path& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

// The tty's device directory sits in the USB interface (or in a usb-serial
// port below it); the USB device itself is the first ancestor with idVendor.
std::optional<fs::path> findUsbDeviceDir(const fs::path& ttyDevice, const fs::path& sysfsRoot)
{
    std::error_code deviceError;
    std::error_code rootError;
    fs::path dir = fs::canonical(ttyDevice, deviceError);
    const fs::path root = fs::canonical(sysfsRoot, rootError);
    if (deviceError || rootError)
        return std::nullopt;
    std::error_code error;
    while (dir != root && dir.has_relative_path()) {
        if (fs::exists(dir / "idVendor", error))
            return dir;
        dir = dir.parent_path();
    }
    return std::nullopt;
}

} // namespace

std::optional<UsbPortStrings> readUsbPortStrings(const std::string& ttyName)
{
    return readUsbPortStrings(ttyName, SysfsRoot);
}

std::optional<UsbPortStrings> readUsbPortStrings(const std::string& ttyName, const std::string& sysfsRoot)
{
    const auto usbDir = findUsbDeviceDir(ttyDevice(ttyName, sysfsRoot), sysfsRoot);
    if (!usbDir)
        return std::nullopt;
    return UsbPortStrings { readAttribute(*usbDir / "product"), readAttribute(*usbDir / "serial") };
}

std::string readTtyDriver(const std::string& ttyName)
{
    std::error_code error;
    const fs::path driver = fs::read_symlink(ttyDevice(ttyName, SysfsRoot) / "driver", error);
    return error ? std::string() : driver.filename().string();
}

std::optional<int> readLatencyTimer(const std::string& ttyName)
{
    const std::string text = readAttribute(ttyDevice(ttyName, SysfsRoot) / "latency_timer");
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(text);
}

std::string latencyTimerCommand(const std::string& ttyName)
{
    return "echo 1 | sudo tee " + (fs::path(SysfsRoot) / "bus/usb-serial/devices" / ttyName / "latency_timer").string();
}

} // namespace usblink
