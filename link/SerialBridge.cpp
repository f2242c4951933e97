#include "SerialBridge.h"

#include <filesystem>

#include <QSerialPortInfo>

#include <algorithm>
#include <memory>
#include <utility>

#include "DeviceAccess.h"
#include "SerialLine.h"
#include "UsbPortStrings.h"

namespace usblink {
namespace {

constexpr const char* ExtraPortDescription = "R6140K";

// The strings from the bridge's EEPROM where sysfs has them; Qt's own
// description may be a generic model name from the USB database.
std::string pickString(const std::string& fromDevice, const QString& fromQt)
{
    return fromDevice.empty() ? fromQt.toStdString() : fromDevice;
}

// Qt reports both a device file the user may not use and a port locked by
// another program as PermissionError; the file's access bits tell them apart.
// Qt takes the port's lock file before it opens the device, so a path that
// is not there is PermissionError too while another program tries it.
std::string openErrorText(const QSerialPort& port, const std::string& path)
{
    if (std::filesystem::is_directory(path))
        return path + " is a directory, not a serial port.";
    if (!std::filesystem::exists(path))
        return path + " is not there: unplugged, or its program is not running.";
    switch (port.error()) {
    case QSerialPort::PermissionError:
        return mayOpen(path) ? busyAdvice(path) : permissionAdvice(path);
    default:
        return "Could not open " + path + ": " + port.errorString().toStdString() + ".";
    }
}

} // namespace

SerialBridge::SerialBridge(std::vector<std::string> extraPorts)
    : extraPorts_(std::move(extraPorts))
{
}

std::vector<SerialPortEntry> SerialBridge::attachedDevices()
{
    auto ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(), [](const auto& a, const auto& b) { return a.portName() < b.portName(); });
    std::vector<SerialPortEntry> devices;
    for (const QSerialPortInfo& info : ports) {
        if (!info.hasVendorIdentifier())
            continue;
        const auto strings = readUsbPortStrings(info.portName().toStdString()).value_or(UsbPortStrings {});
        devices.push_back({ pickString(strings.product, info.description()),
            pickString(strings.serial, info.serialNumber()), info.systemLocation().toStdString() });
    }
    for (const std::string& path : extraPorts_)
        devices.push_back({ ExtraPortDescription, path, path });
    return devices;
}

FT_STATUS SerialBridge::FT_Open(int32_t index, DeviceHandle* handle)
{
    FT_STATUS status = FT_OK;
    const SerialPortEntry* device = deviceToOpen(index, handle, status);
    if (!device)
        return status;
    auto line = std::make_unique<SerialLine>(device->portPath);
    if (!line->open()) {
        failOpen(openErrorText(line->port(), device->portPath));
        return FT_DEVICE_NOT_OPENED;
    }
    *handle = adopt(std::move(line));
    return FT_OK;
}

} // namespace usblink
