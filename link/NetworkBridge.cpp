#include "NetworkBridge.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QScopedValueRollback>
#include <QTcpSocket>

#include <algorithm>

#include "LineWaits.h"
#include "TelnetCodec.h"

namespace usblink {
namespace {

constexpr const char* Description = "R6140K";

// RFC 2217's values for the settings, from D2XX's.
constexpr uint32_t ComPortNoFlowControl = 1, ComPortXonXoff = 2, ComPortRtsCts = 3;

std::string connectFailure(const NetworkAddress& address, const QTcpSocket& socket)
{
    switch (socket.error()) {
    case QAbstractSocket::ConnectionRefusedError:
        return address.url + " refused the connection: is ser2net (or the device server) running there?";
    case QAbstractSocket::HostNotFoundError:
        return "Could not connect to " + address.url + ": no host " + address.host + " is known.";
    default:
        return "Could not connect to " + address.url + ": " + socket.errorString().toStdString() + ".";
    }
}

} // namespace

// One connection: its socket, the telnet state of an RFC 2217 link and the
// data received but not read yet.
struct NetworkBridge::Connection {
    explicit Connection(NetworkAddress address);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    void take();
    bool sendRaw(const std::string& bytes, const QDeadlineTimer& deadline);
    void markGone();

    NetworkAddress address;
    QTcpSocket socket;
    TelnetCodec telnet;
    QElapsedTimer connecting;
    std::string input;
    uint32_t readTimeoutMs = DefaultWaitMs;
    uint32_t writeTimeoutMs = DefaultWaitMs;
    bool reading = false; // within FT_Read, whatever arrives is the reply being read
    bool gone = false;
    std::function<void()> onGone;

    bool telnetLink() const { return address.protocol == NetworkAddress::Protocol::Rfc2217; }
};

// Input arriving between reads is taken at once, so that the telnet side is
// answered and a closed connection is noticed while the panel is idle.
NetworkBridge::Connection::Connection(NetworkAddress address)
    : address(std::move(address))
{
    socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] { take(); });
    QObject::connect(&socket, &QTcpSocket::disconnected, &socket, [this] { markGone(); });
    connecting.start();
    socket.connectToHost(QString::fromStdString(this->address.host), this->address.port);
}

// A connection closed on purpose is no loss to report.
NetworkBridge::Connection::~Connection()
{
    socket.disconnect();
    socket.abort();
}

// Input that fills the bound between reads is no reply (one query is
// outstanding at a time and replies are short): all of it is dropped.
void NetworkBridge::Connection::take()
{
    const QByteArray bytes = socket.readAll();
    if (!telnetLink()) {
        input.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    } else if (const std::string answers = telnet.decode({ bytes.constData(), std::size_t(bytes.size()) }, input);
               !answers.empty()) {
        socket.write(answers.data(), static_cast<qint64>(answers.size()));
    }
    if (!reading && input.size() >= InputBound)
        input.clear();
}

bool NetworkBridge::Connection::sendRaw(const std::string& bytes, const QDeadlineTimer& deadline)
{
    if (socket.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        return false;
    while (socket.bytesToWrite() > 0 && socket.waitForBytesWritten(remainingMs(deadline))) { }
    return socket.bytesToWrite() == 0;
}

// A connection that failed stays gone; aborting drops what is still queued
// rather than sending it into the next connection's place.
void NetworkBridge::Connection::markGone()
{
    if (std::exchange(gone, true))
        return;
    if (socket.state() != QAbstractSocket::UnconnectedState)
        socket.abort();
    if (onGone)
        onGone();
}

NetworkBridge::NetworkBridge(std::vector<NetworkAddress> addresses)
    : addresses_(std::move(addresses))
{
}

NetworkBridge::~NetworkBridge() = default;

std::vector<NetworkEntry> NetworkBridge::attachedDevices()
{
    std::vector<NetworkEntry> entries;
    for (const NetworkAddress& address : addresses_)
        entries.push_back({ Description, address.url, address });
    return entries;
}

// A connection still under way when the wait runs out is kept for the next
// open of the same address, until ConnectTimeoutMs have passed since it began.
FT_STATUS NetworkBridge::FT_Open(int32_t index, DeviceHandle* handle)
{
    FT_STATUS status = FT_OK;
    const NetworkEntry* entry = deviceToOpen(index, handle, status);
    if (!entry)
        return status;
    const NetworkAddress& address = entry->address;
    std::unique_ptr<Connection> connection = std::move(connecting_[address.url]);
    connecting_.erase(address.url);
    if (!connection)
        connection = std::make_unique<Connection>(address);
    QTcpSocket& socket = connection->socket;
    const auto left = std::max<qint64>(0, ConnectTimeoutMs - connection->connecting.elapsed());
    if (socket.state() != QAbstractSocket::ConnectedState)
        socket.waitForConnected(static_cast<int>(std::min<qint64>(left, openWaitMs_)));
    if (socket.state() == QAbstractSocket::ConnectedState) {
        lastOpenError_.clear();
        if (connection->telnetLink())
            connection->sendRaw(connection->telnet.greeting(), QDeadlineTimer(DefaultWaitMs));
        Connection& opened = *connection;
        *handle = connections_.add(std::move(connection));
        opened.onGone = [this, opened = *handle] {
            if (lossObserver_)
                lossObserver_(opened);
        };
        return FT_OK;
    }
    if (socket.state() == QAbstractSocket::UnconnectedState) {
        lastOpenError_ = connectFailure(address, socket);
    } else if (connection->connecting.elapsed() >= ConnectTimeoutMs) {
        lastOpenError_ = "No answer from " + address.url + " within " + std::to_string(ConnectTimeoutMs / 1000)
            + " s: is the address right, and the computer there on?";
    } else {
        lastOpenError_ = "Still connecting to " + address.url + ".";
        connecting_[address.url] = std::move(connection);
    }
    return FT_DEVICE_NOT_FOUND;
}

NetworkBridge::Lookup NetworkBridge::lookUp(DeviceHandle handle) const
{
    Connection* connection = connections_.find(handle);
    if (!connection)
        return { nullptr, FT_INVALID_HANDLE };
    return { connection, connection->gone ? FT_DEVICE_NOT_FOUND : FT_OK };
}

std::string NetworkBridge::lossReason(DeviceHandle handle) const
{
    const Connection* connection = connections_.find(handle);
    if (!connection || !connection->gone)
        return {};
    return "The connection to " + connection->address.url + " was closed.";
}

// On a raw link the far side's own configuration sets the line: the
// settings are accepted and go nowhere.
FT_STATUS NetworkBridge::askFarSide(DeviceHandle handle, const std::vector<std::string>& commands)
{
    const auto [connection, status] = lookUp(handle);
    if (status != FT_OK || !connection->telnetLink())
        return status;
    std::string bytes;
    for (const std::string& command : commands)
        bytes += command;
    return connection->sendRaw(bytes, QDeadlineTimer(connection->writeTimeoutMs)) ? FT_OK : FT_IO_ERROR;
}

FT_STATUS NetworkBridge::FT_SetBaudRate(DeviceHandle handle, uint32_t baud)
{
    if (baud == 0)
        return FT_INVALID_PARAMETER;
    return askFarSide(handle, { TelnetCodec::comPort(TelnetCodec::SetBaudRate, baud, 4) });
}

FT_STATUS NetworkBridge::FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity)
{
    const bool known = (bits == 7 || bits == 8) && (stopBits == 0 || stopBits == 2) && parity <= 4;
    if (!known)
        return FT_INVALID_PARAMETER;
    // RFC 2217 counts stop bits as 1 for one and 2 for two, parity from 1 for none.
    return askFarSide(handle,
        { TelnetCodec::comPort(TelnetCodec::SetDataSize, bits, 1),
            TelnetCodec::comPort(TelnetCodec::SetParity, parity + 1u, 1),
            TelnetCodec::comPort(TelnetCodec::SetStopSize, stopBits == 0 ? 1u : 2u, 1) });
}

FT_STATUS NetworkBridge::FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t, uint8_t)
{
    uint32_t control = 0;
    switch (flow) {
    case FT_FLOW_NONE:
        control = ComPortNoFlowControl;
        break;
    case FT_FLOW_RTS_CTS:
        control = ComPortRtsCts;
        break;
    case FT_FLOW_XON_XOFF:
        control = ComPortXonXoff;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    return askFarSide(handle, { TelnetCodec::comPort(TelnetCodec::SetControl, control, 1) });
}

FT_STATUS NetworkBridge::FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs)
{
    const auto [connection, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    connection->readTimeoutMs = readMs;
    connection->writeTimeoutMs = writeMs == 0 ? DefaultWaitMs : writeMs;
    return FT_OK;
}

// A peer that does not take the bytes within the time-out is taken for
// gone: TCP holds far more than a message while the far side still reads.
FT_STATUS NetworkBridge::FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written)
{
    if (!written || (!buffer && count > 0))
        return FT_INVALID_PARAMETER;
    *written = 0;
    const auto [connection, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    const std::string_view data(static_cast<const char*>(buffer), count);
    const std::string bytes = connection->telnetLink() ? TelnetCodec::escape(data) : std::string(data);
    if (!connection->sendRaw(bytes, QDeadlineTimer(connection->writeTimeoutMs))) {
        connection->markGone();
        return FT_DEVICE_NOT_FOUND;
    }
    *written = count;
    return FT_OK;
}

// Data already taken is returned at once; waitForReadyRead only waits for
// new bytes.
FT_STATUS NetworkBridge::FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received)
{
    if (!received || (!buffer && count > 0))
        return FT_INVALID_PARAMETER;
    *received = 0;
    Connection* connection = connections_.find(handle);
    if (!connection)
        return FT_INVALID_HANDLE;
    const QScopedValueRollback reading(connection->reading, true);
    const QDeadlineTimer deadline(connection->readTimeoutMs);
    while (connection->input.size() < count && !connection->gone && !deadline.hasExpired()) {
        if (!connection->socket.waitForReadyRead(remainingMs(deadline)))
            break;
        connection->take();
    }
    if (connection->socket.state() != QAbstractSocket::ConnectedState)
        connection->markGone();
    const auto taken = static_cast<uint32_t>(std::min<std::size_t>(count, connection->input.size()));
    std::copy_n(connection->input.begin(), taken, static_cast<char*>(buffer));
    connection->input.erase(0, taken);
    *received = taken;
    return taken == 0 && connection->gone ? FT_DEVICE_NOT_FOUND : FT_OK;
}

FT_STATUS NetworkBridge::FT_Purge(DeviceHandle handle, uint32_t mask)
{
    const auto [connection, status] = lookUp(handle);
    if (status != FT_OK)
        return status;
    if (mask & ~(FT_PURGE_RX | FT_PURGE_TX))
        return FT_INVALID_PARAMETER;
    if (mask & FT_PURGE_RX) {
        connection->take();
        connection->input.clear();
    }
    return FT_OK;
}

FT_STATUS NetworkBridge::FT_Close(DeviceHandle handle)
{
    return connections_.remove(handle) ? FT_OK : FT_INVALID_HANDLE;
}

} // namespace usblink
