#include "NetworkBridge.h"

#include <algorithm>
#include <utility>

#include "NetworkLine.h"

namespace usblink {
namespace {

constexpr const char* Description = "R6140K";

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
    std::unique_ptr<NetworkLine> line = connectionTo(entry->address);
    const auto left = std::max<qint64>(0, ConnectTimeoutMs - line->connectingForMs());
    if (!line->awaitConnection(static_cast<int>(std::min<qint64>(left, openWaitMs_)))) {
        keepOrFail(std::move(line));
        return FT_DEVICE_NOT_FOUND;
    }
    line->greet();
    *handle = adopt(std::move(line));
    return FT_OK;
}

// The connection to address still being made, or a new one.
std::unique_ptr<NetworkLine> NetworkBridge::connectionTo(const NetworkAddress& address)
{
    auto underWay = connecting_.extract(address.url);
    return underWay ? std::move(underWay.mapped()) : std::make_unique<NetworkLine>(address);
}

// Says why the connection is not there, and keeps it while it may still be
// made.
void NetworkBridge::keepOrFail(std::unique_ptr<NetworkLine> line)
{
    const std::string url = line->address().url;
    if (line->socket().state() == QAbstractSocket::UnconnectedState) {
        failOpen(connectFailure(line->address(), line->socket()));
    } else if (line->connectingForMs() >= ConnectTimeoutMs) {
        failOpen("No answer from " + url + " within " + std::to_string(ConnectTimeoutMs / 1000)
            + " s: is the address right, and the computer there on?");
    } else {
        failOpen("Still connecting to " + url + ".");
        connecting_[url] = std::move(line);
    }
}

} // namespace usblink
