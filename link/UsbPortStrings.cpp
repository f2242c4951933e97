#include "UsbPortStrings.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace usblink {
namespace {

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

std::optional<UsbPortStrings> readUsbPortStrings(const std::string& ttyName, const std::string& sysfsRoot)
{
    const auto usbDir = findUsbDeviceDir(fs::path(sysfsRoot) / "class" / "tty" / ttyName / "device", sysfsRoot);
    if (!usbDir)
        return std::nullopt;
    return UsbPortStrings { readAttribute(*usbDir / "product"), readAttribute(*usbDir / "serial") };
}

std::string readTtyDriver(const std::string& ttyName, const std::string& sysfsRoot)
{
    std::error_code error;
    const fs::path driver = fs::read_symlink(fs::path(sysfsRoot) / "class" / "tty" / ttyName / "device" / "driver", error);
    return error ? std::string() : driver.filename().string();
}

std::optional<int> readLatencyTimer(const std::string& ttyName, const std::string& sysfsRoot)
{
    const std::string text = readAttribute(fs::path(sysfsRoot) / "class" / "tty" / ttyName / "device" / "latency_timer");
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos)
        return std::nullopt;
    return std::stoi(text);
}

} // namespace usblink
