#include "LinkCheck.h"

#include <QSerialPortInfo>
#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "DeviceFilter.h"
#include "DeviceAccess.h"
#include "InstrumentSession.h"
#include "NetworkBridge.h"
#include "PanelBridge.h"
#include "PanelServices.h"
#include "StartUp.h"
#include "UsbPortStrings.h"

namespace app {
namespace {

constexpr int SlowLatencyMs = 16;

void printFact(std::FILE* out, const char* name, const std::string& value)
{
    std::fprintf(out, "  %-15s%s\n", (std::string(name) + ":").c_str(), value.empty() ? "-" : value.c_str());
}

std::string latencyText(const std::string& ttyName)
{
    const auto latency = usblink::readLatencyTimer(ttyName);
    if (!latency)
        return {};
    std::string text = std::to_string(*latency) + " ms";
    if (*latency >= SlowLatencyMs)
        text += "; every reply waits that long. Set it to 1 ms: install the package's udev rule, or run \""
            + usblink::latencyTimerCommand(ttyName) + "\"";
    return text;
}

std::string accessText(const std::string& path)
{
    return usblink::mayOpen(path) ? "you may open it" : usblink::permissionAdvice(path);
}

std::string holdersText(const std::string& path)
{
    const usblink::PortHolders holders = usblink::portHolders(path);
    if (!holders.programs.empty())
        return usblink::describeHolders(holders.programs);
    return holders.unknown.empty() ? "no other program" : "could not tell (" + holders.unknown + ")";
}

void reportSerialDevice(std::FILE* out, const std::string& path, const std::string& product, const std::string& serial)
{
    std::fprintf(out, "%s\n", path.c_str());
    if (!std::filesystem::exists(path)) {
        printFact(out, "state", "does not exist");
        return;
    }
    if (std::filesystem::is_directory(path)) {
        printFact(out, "state", "is a directory, not a serial port");
        return;
    }
    const std::string ttyName = std::filesystem::path(path).filename().string();
    const auto strings = usblink::readUsbPortStrings(ttyName).value_or(usblink::UsbPortStrings { product, serial });
    printFact(out, "product", strings.product.empty() ? product : strings.product);
    printFact(out, "serial number", strings.serial.empty() ? serial : strings.serial);
    printFact(out, "driver", usblink::readTtyDriver(ttyName));
    printFact(out, "latency timer", latencyText(ttyName));
    printFact(out, "access", accessText(path));
    printFact(out, "held by", holdersText(path));
}

void reportSerialDevices(std::FILE* out, const Options& options)
{
    auto ports = QSerialPortInfo::availablePorts();
    std::ranges::sort(ports, {}, [](const QSerialPortInfo& info) { return info.systemLocation(); });
    for (const QSerialPortInfo& info : ports)
        if (info.hasVendorIdentifier())
            reportSerialDevice(out, info.systemLocation().toStdString(), info.description().toStdString(),
                info.serialNumber().toStdString());
    for (const std::string& port : options.ports)
        if (!usblink::NetworkAddress::parse(port))
            reportSerialDevice(out, port, {}, {});
}

// Start-up's messages on the device with the given index; true when it
// answered the identification.
bool identify(std::FILE* out, usblink::BridgeLibrary& bridge, int32_t index, const std::string& entry)
{
    session::InstrumentSession session(bridge, [] { });
    session.listDevices();
    session.open(index);
    if (session.linkDown()) {
        std::fprintf(out, "%s: %s\n", entry.c_str(), session.linkProblem().c_str());
        return false;
    }
    const usblink::Reply identity = session::identify(session);
    session.close();
    std::fprintf(out, "%s: *IDN? = %s\n", entry.c_str(), identity.text.c_str());
    return identity.answered();
}

} // namespace

int runLinkCheck(const Options& options, std::FILE* out)
{
    reportSerialDevices(out, options);
    std::string error;
    const auto bridge = panelBridge(options, &error);
    if (!bridge) {
        std::fprintf(out, "%s\n", error.c_str());
        return 1;
    }
    session::InstrumentSession listing(*bridge, [] { });
    const usblink::DeviceList devices = listing.listDevices();
    bool answered = false;
    int offered = 0;
    for (std::size_t index = 0; index < devices.size(); ++index) {
        if (!instrument::isInstrumentEntry(devices[index]))
            continue;
        ++offered;
        answered |= identify(out, *bridge, static_cast<int32_t>(index), devices[index]);
    }
    if (offered == 0)
        std::fprintf(out, "No R6140K device is listed: give its serial line with --port.\n");
    checkServices(options, out);
    return answered ? 0 : 1;
}

} // namespace app
