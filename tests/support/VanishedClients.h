#pragma once

#include <QDir>
#include <QtGlobal>
#include <climits>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <vector>

namespace test_support {

// For every connection this process accepted on the port: how many seconds
// the system keeps it for a client that vanished without closing (the
// keep-alive idle time plus its probes), or INT_MAX when it never probes.
inline std::vector<int> secondsHeldForVanishedClients(quint16 port)
{
    std::vector<int> held;
    for (const QString& name : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System)) {
        const int fd = name.toInt();
        sockaddr_storage local {}, peer {};
        socklen_t localLength = sizeof local, peerLength = sizeof peer;
        if (::getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength) != 0 || local.ss_family != AF_INET
            || ntohs(reinterpret_cast<sockaddr_in&>(local).sin_port) != port
            || ::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &peerLength) != 0)
            continue;
        int on = 0, idle = 0, interval = 0, probes = 0;
        socklen_t length = sizeof(int);
        ::getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, &length);
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &length);
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, &length);
        ::getsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, &length);
        held.push_back(on ? idle + interval * probes : INT_MAX);
    }
    return held;
}

} // namespace test_support
