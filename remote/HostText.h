#pragma once

#include <QAbstractSocket>
#include <QHostAddress>
#include <QString>

namespace remote {

// An address as the host part of HOST:PORT: an IPv4-mapped IPv6 address as
// the IPv4 one it stands for, any other IPv6 address in brackets.
inline QString hostText(QHostAddress address)
{
    bool isIPv4 = false;
    if (const quint32 ipv4 = address.toIPv4Address(&isIPv4); isIPv4)
        address = QHostAddress(ipv4);
    return address.protocol() == QAbstractSocket::IPv6Protocol ? "[" + address.toString() + "]" : address.toString();
}

// Who is at the other end of a connection, as "127.0.0.1:54321".
inline QString peerText(const QAbstractSocket& socket)
{
    return hostText(socket.peerAddress()) + ':' + QString::number(socket.peerPort());
}

} // namespace remote
