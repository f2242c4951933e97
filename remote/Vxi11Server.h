#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>

#include "ClientSlots.h"
#include "InstrumentSession.h"
#include "Vxi11Device.h"

namespace remote {

// Serves the instrument the session talks to as the VXI-11 device inst0:
// the core channel (ONC RPC program 0x0607AF, version 1) and the abort
// channel (0x0607B0), each over TCP on a free port of the given address.
// Clients find the core channel's port through the port mapper, with which
// the caller registers it. Like the SCPI socket it has no authentication.
class Vxi11Server : public QObject {
    Q_OBJECT
public:
    // Connections served at once on each channel, links or not; one more is
    // closed at once, and counted as refused. The abort channel's own few
    // cannot take the core channel's.
    static constexpr int MaxConnections = 2 * ClientSlots::Capacity;
    static constexpr int MaxAbortConnections = 4;

    Vxi11Server(session::InstrumentSession& session, ClientSlots& clientSlots, QObject* parent = nullptr);

    // Binds both channels and takes clients from then on: during start-up
    // too, so that a registration it made answers as alive, while what
    // links send waits for start-up to end, as every exchange queued
    // meanwhile does. False when the address cannot be had; errorString()
    // says why.
    bool listen(const QHostAddress& host);
    QString errorString() const { return errorString_; }

    quint16 port() const { return core_.serverPort(); }
    quint16 abortPort() const { return abort_.serverPort(); }
    QHostAddress address() const { return core_.serverAddress(); }
    int linkCount() const { return device_.linkCount(); }
    // Where it serves and how many links it has, in one line.
    QString status() const;

signals:
    void statusChanged(const QString& status);

private:
    bool listen(QTcpServer& server, const QHostAddress& host);
    void takeConnections(QTcpServer& server, uint32_t program);

    ClientSlots& slots_;
    Vxi11Device device_;
    QTcpServer core_;
    QTcpServer abort_;
    QString errorString_;
    int connections_ = 0;
    int abortConnections_ = 0;
};

} // namespace remote
