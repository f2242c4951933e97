#include "SerialLine.h"

#include <algorithm>
#include <optional>

#include "SerialPortIo.h"

namespace usblink {
namespace {

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

// Qt only knows the standard XON/XOFF characters.
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

} // namespace

// Qt holds at most InputBound bytes of unread input. A line that hangs up
// between exchanges is retired as soon as Qt sees it, from the event loop
// rather than inside Qt's own notification.
SerialLine::SerialLine(const std::string& path)
    : path_(path)
{
    port_.setPortName(QString::fromStdString(path));
    port_.setReadBufferSize(static_cast<qint64>(InputBound));
    watchInput();
    QObject::connect(&port_, &QSerialPort::errorOccurred, &port_, [this](QSerialPort::SerialPortError error) {
        if (goneAfter(error, port_))
            QMetaObject::invokeMethod(&port_, [this] { retire(); }, Qt::QueuedConnection);
    });
}

bool SerialLine::open()
{
    return port_.open(QIODevice::ReadWrite);
}

FT_STATUS SerialLine::setBaudRate(uint32_t baud)
{
    return settingStatus(port_.setBaudRate(static_cast<qint32>(baud)));
}

FT_STATUS SerialLine::setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity)
{
    const auto dataBits = dataBitsFor(bits);
    const auto stop = stopBitsFor(stopBits);
    const auto parityMode = parityFor(parity);
    if (!dataBits || !stop || !parityMode)
        return FT_INVALID_PARAMETER;
    return settingStatus(port_.setDataBits(*dataBits) && port_.setStopBits(*stop) && port_.setParity(*parityMode));
}

FT_STATUS SerialLine::setFlowControl(uint16_t flow)
{
    const auto mode = flowControlFor(flow);
    if (!mode)
        return FT_INVALID_PARAMETER;
    return settingStatus(port_.setFlowControl(*mode));
}

std::size_t SerialLine::pending() const
{
    return static_cast<std::size_t>(port_.bytesAvailable());
}

std::size_t SerialLine::takeInput(char* into, std::size_t count)
{
    return static_cast<std::size_t>(std::max<qint64>(0, port_.read(into, static_cast<qint64>(count))));
}

std::size_t SerialLine::dropInput()
{
    return static_cast<std::size_t>(port_.skip(port_.bytesAvailable()));
}

uint32_t SerialLine::send(const char* bytes, uint32_t count, const QDeadlineTimer& deadline)
{
    return writeThrough(port_, bytes, count, deadline);
}

// A write the port did not take in time fails on a line still there; the
// driver's output is dropped, not sent later.
FT_STATUS SerialLine::abandonWrite()
{
    if (hungUp(port_) || status() == FT_DEVICE_NOT_FOUND)
        return FT_DEVICE_NOT_FOUND;
    port_.clear(QSerialPort::Output);
    return FT_IO_ERROR;
}

// Drops Qt's buffer and the driver's.
bool SerialLine::clear(bool input, bool output)
{
    QSerialPort::Directions directions;
    if (input)
        directions |= QSerialPort::Input;
    if (output)
        directions |= QSerialPort::Output;
    return !directions || port_.clear(directions);
}

// A failing read or write on a line still there is FT_IO_ERROR. Every other
// error, a time-out above all, is cleared so that it does not linger into
// the next call.
FT_STATUS SerialLine::status()
{
    const QSerialPort::SerialPortError error = port_.error();
    if (goneAfter(error, port_))
        return FT_DEVICE_NOT_FOUND;
    if (error == QSerialPort::NoError)
        return FT_OK;
    port_.clearError();
    return error == QSerialPort::ReadError || error == QSerialPort::WriteError ? FT_IO_ERROR : FT_OK;
}

// Closing the port drops the output still queued and stops Qt watching the
// descriptor: left open, Qt would retry the write, or read the hang-up
// again, on every turn of the event loop.
void SerialLine::stop()
{
    port_.close();
}

std::string SerialLine::goneReason() const
{
    return path_ + " has gone: unplugged, or its program ended.";
}

} // namespace usblink
