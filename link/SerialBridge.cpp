#include "SerialBridge.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QScopedValueRollback>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstring>
#include <utility>

#include "DeviceAccess.h"
#include "LineWaits.h"
#include "SerialPortIo.h"
#include "UsbPortStrings.h"

namespace usblink {
namespace {

constexpr const char* ExtraPortDescription = "R6140K";

FT_STATUS settingStatus(bool applied)
{
    return applied ? FT_OK : FT_OTHER_ERROR;
}

// A device gone for good shows as ResourceError (unplugged) or as a failing
// read or write on a hung-up descriptor.
bool goneAfter(QSerialPort::SerialPortError error, const QSerialPort& port)
{
    const bool failed = error == QSerialPort::ReadError || error == QSerialPort::WriteError;
    return error == QSerialPort::ResourceError || (failed && hungUp(port));
}

std::optional<QSerialPort::DataBits> dataBitsFor(uint8_t bits)
{
    switch (bits) {
    case 7:
        return QSerialPort::Data7;
    case 8:
        return QSerialPort::Data8;
    default:
        return std::nullopt;
    }
}

std::optional<QSerialPort::StopBits> stopBitsFor(uint8_t stopBits)
{
    switch (stopBits) {
    case 0:
        return QSerialPort::OneStop;
    case 2:
        return QSerialPort::TwoStop;
    default:
        return std::nullopt;
    }
}

std::optional<QSerialPort::Parity> parityFor(uint8_t parity)
{
    switch (parity) {
    case 0:
        return QSerialPort::NoParity;
    case 1:
        return QSerialPort::OddParity;
    case 2:
        return QSerialPort::EvenParity;
    case 3:
        return QSerialPort::MarkParity;
    case 4:
        return QSerialPort::SpaceParity;
    default:
        return std::nullopt;
    }
}

// Qt only knows the standard XON/XOFF characters, so those are ignored.
std::optional<QSerialPort::FlowControl> flowControlFor(uint16_t flow)
{
    switch (flow) {
    case FT_FLOW_NONE:
        return QSerialPort::NoFlowControl;
    case FT_FLOW_RTS_CTS:
        return QSerialPort::HardwareControl;
    case FT_FLOW_XON_XOFF:
        return QSerialPort::SoftwareControl;
    default:
        return std::nullopt;
    }
}

// The strings from the bridge's EEPROM where sysfs has them; Qt's own
// description may be a generic model name from the USB database.
std::string pickString(const std::string& fromDevice, const QString& fromQt)
{
    return fromDevice.empty() ? fromQt.toStdString() : fromDevice;
}

} // namespace

struct SerialBridge::OpenPort {
    OpenPort();

    FT_STATUS lineStatus();
    void noteInput();
    void retire();

    QSerialPort port;
    std::string path;
    uint32_t readTimeoutMs = DefaultWaitMs;
    uint32_t writeTimeoutMs = DefaultWaitMs;
    bool reading = false; // within FT_Read, whatever arrives is the reply being read
    bool gone = false;
    std::function<void()> onGone;
    InputCounts input;
};

// Qt holds at most InputBound bytes of unread input. A line that hangs up
// between exchanges is retired as soon as Qt sees it, from the event loop
// rather than inside Qt's own notification.
SerialBridge::OpenPort::OpenPort()
{
    port.setReadBufferSize(static_cast<qint64>(InputBound));
    QObject::connect(&port, &QSerialPort::readyRead, &port, [this] { noteInput(); });
    QObject::connect(&port, &QSerialPort::errorOccurred, &port, [this](QSerialPort::SerialPortError error) {
        if (goneAfter(error, port))
            QMetaObject::invokeMethod(&port, [this] { retire(); }, Qt::QueuedConnection);
    });
}

// How the line stands after the last call. A device gone for good is retired
// and reports FT_DEVICE_NOT_FOUND: the driver takes FT_IO_ERROR with no byte
// for a time-out, as D2XX has it, so a line that can never answer again must
// not report that: the operator is to see READ ERROR, not READ TIMEOUT. A
// failing read or write on a line still there is FT_IO_ERROR. Every other
// error, a time-out above all, is cleared so that it does not linger into
// the next call.
FT_STATUS SerialBridge::OpenPort::lineStatus()
{
    const QSerialPort::SerialPortError error = port.error();
    if (goneAfter(error, port)) {
        retire();
        return FT_DEVICE_NOT_FOUND;
    }
    if (error == QSerialPort::NoError)
        return FT_OK;
    port.clearError();
    return error == QSerialPort::ReadError || error == QSerialPort::WriteError ? FT_IO_ERROR : FT_OK;
}

// Input that fills the bound between reads is no reply (one query is
// outstanding at a time and replies are short): all of it is dropped, which
// also lets Qt read on instead of leaving the rest to pile up in the driver.
void SerialBridge::OpenPort::noteInput()
{
    const auto held = static_cast<std::size_t>(port.bytesAvailable());
    input.mostHeld = std::max(input.mostHeld, held);
    if (!reading && held >= InputBound)
        input.dropped += static_cast<std::size_t>(port.skip(static_cast<qint64>(held)));
}

// A line gone for good stays gone. Closing the port drops the output still
// queued and stops Qt watching the descriptor: left open, Qt would retry the
// write, or read the hang-up again, on every turn of the event loop.
void SerialBridge::OpenPort::retire()
{
    if (std::exchange(gone, true))
        return;
    port.close();
    if (onGone)
        onGone();
}

SerialBridge::SerialBridge(std::vector<std::string> extraPorts)
    : extraPorts_(std::move(extraPorts))
{
}

SerialBridge::~SerialBridge() = default;

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
    const std::string& path = device->portPath;
    auto open = std::make_unique<OpenPort>();
    open->path = path;
    open->port.setPortName(QString::fromStdString(path));
    if (!open->port.open(QIODevice::ReadWrite)) {
        lastOpenError_ = openErrorText(open->port, path);
        return FT_DEVICE_NOT_OPENED;
    }
    lastOpenError_.clear();
    OpenPort& opened = *open;
    *handle = ports_.add(std::move(open));
    opened.onGone = [this, opened = *handle] {
        if (lossObserver_)
            lossObserver_(opened);
    };
    return FT_OK;
}

// Qt reports both a device file the user may not use and a port locked by
// another program as PermissionError; the file's access bits tell them apart.
std::string SerialBridge::openErrorText(const QSerialPort& port, const std::string& path) const
{
    switch (port.error()) {
    case QSerialPort::DeviceNotFoundError:
        return path + " is not there: unplugged, or its program is not running.";
    case QSerialPort::PermissionError:
        return mayOpen(path) ? busyAdvice(path) : permissionAdvice(path);
    default:
        return "Could not open " + path + ": " + port.errorString().toStdString() + ".";
    }
}

std::string SerialBridge::lossReason(DeviceHandle handle) const
{
    const OpenPort* open = ports_.find(handle);
    if (!open || !open->gone)
        return {};
    return open->path + " has gone: unplugged, or its program ended.";
}

SerialBridge::PortLookup SerialBridge::lookUp(DeviceHandle handle) const
{
    OpenPort* open = ports_.find(handle);
    if (!open)
        return { nullptr, FT_INVALID_HANDLE };
    return { open, open->gone ? FT_DEVICE_NOT_FOUND : FT_OK };
}

SerialBridge::InputCounts SerialBridge::inputCounts(DeviceHandle handle) const
{
    const OpenPort* open = ports_.find(handle);
    return open ? open->input : InputCounts {};
}

FT_STATUS SerialBridge::FT_SetBaudRate(DeviceHandle handle, uint32_t baud)
{
    const auto [open, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    return settingStatus(open->port.setBaudRate(static_cast<qint32>(baud)));
}

FT_STATUS SerialBridge::FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity)
{
    const auto [open, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    const auto dataBits = dataBitsFor(bits);
    const auto stop = stopBitsFor(stopBits);
    const auto parityMode = parityFor(parity);
    if (!dataBits || !stop || !parityMode)
        return FT_INVALID_PARAMETER;
    QSerialPort& port = open->port;
    return settingStatus(port.setDataBits(*dataBits) && port.setStopBits(*stop) && port.setParity(*parityMode));
}

FT_STATUS SerialBridge::FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t, uint8_t)
{
    const auto [open, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    const auto mode = flowControlFor(flow);
    if (!mode)
        return FT_INVALID_PARAMETER;
    return settingStatus(open->port.setFlowControl(*mode));
}

FT_STATUS SerialBridge::FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs)
{
    const auto [open, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    open->readTimeoutMs = readMs;
    open->writeTimeoutMs = writeMs == 0 ? DefaultWaitMs : writeMs;
    return FT_OK;
}

FT_STATUS SerialBridge::FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written)
{
    if (!written || (!buffer && count > 0))
        return FT_INVALID_PARAMETER;
    *written = 0;
    const auto [open, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    QSerialPort& port = open->port;
    if (const FT_STATUS before = open->lineStatus(); before != FT_OK)
        return before;
    *written = writeThrough(port, static_cast<const char*>(buffer), count, QDeadlineTimer(open->writeTimeoutMs));
    if (*written == count)
        return FT_OK;
    // Not taken within the time-out: a failure, unless the line is gone.
    // Either way the rest is dropped rather than sent later, run into the
    // next message.
    if (hungUp(port) || open->lineStatus() == FT_DEVICE_NOT_FOUND) {
        open->retire();
        return FT_DEVICE_NOT_FOUND;
    }
    port.clear(QSerialPort::Output);
    return FT_IO_ERROR;
}

// Bytes Qt has already buffered are returned at once: waitForReadyRead only
// waits for new data and would sit out the whole time-out over them.
FT_STATUS SerialBridge::FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received)
{
    if (!received || (!buffer && count > 0))
        return FT_INVALID_PARAMETER;
    *received = 0;
    const auto [open, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    QSerialPort& port = open->port;
    const QScopedValueRollback reading(open->reading, true);
    const QDeadlineTimer deadline(open->readTimeoutMs);
    auto* bytes = static_cast<char*>(buffer);
    while (*received < count) {
        if (port.bytesAvailable() == 0 && !port.waitForReadyRead(remainingMs(deadline)))
            break;
        const qint64 got = port.read(bytes + *received, count - *received);
        if (got <= 0)
            break;
        *received += static_cast<uint32_t>(got);
    }
    const FT_STATUS line = open->lineStatus();
    return *received == 0 ? line : FT_OK;
}

// Drops Qt's buffer and the driver's.
FT_STATUS SerialBridge::FT_Purge(DeviceHandle handle, uint32_t mask)
{
    const auto [open, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    if (mask & ~(FT_PURGE_RX | FT_PURGE_TX))
        return FT_INVALID_PARAMETER;
    QSerialPort::Directions directions;
    if (mask & FT_PURGE_RX)
        directions |= QSerialPort::Input;
    if (mask & FT_PURGE_TX)
        directions |= QSerialPort::Output;
    if (!directions || open->port.clear(directions))
        return FT_OK;
    return open->lineStatus() == FT_DEVICE_NOT_FOUND ? FT_DEVICE_NOT_FOUND : FT_IO_ERROR;
}

FT_STATUS SerialBridge::FT_Close(DeviceHandle handle)
{
    const auto open = ports_.remove(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    open->port.close();
    return FT_OK;
}

} // namespace usblink
