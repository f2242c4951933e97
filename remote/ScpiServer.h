#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>

#include "DescriptorServer.h"

#include "ClientSlots.h"
#include "DeviceLock.h"
#include "InstrumentSession.h"

namespace remote {

// Serves the instrument the session talks to on a TCP port, in the raw-socket
// convention of networked instruments: a client sends lines ending in LF,
// each one message; a line that expects a reply (a query) has its reply go back
// followed by LF. At most MaxClients are served at once, counted with the
// other remote clients that share its slots; one more is told so and
// disconnected. The port has no authentication, as an instrument's own
// raw socket has none.
class ScpiServer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxClients = ClientSlots::Capacity;
    static constexpr quint16 ConventionalPort = 5025;

    // With slots of its own.
    explicit ScpiServer(session::InstrumentSession& session, QObject* parent = nullptr);
    // With slots it shares with other servers.
    ScpiServer(session::InstrumentSession& session, ClientSlots& clientSlots, QObject* parent = nullptr);

    // Binds the address, but takes no client before startAccepting(), so that
    // none reaches an instrument not yet opened. False when the address
    // cannot be had; errorString() says why.
    bool listen(const QHostAddress& host, quint16 port);
    void startAccepting();
    QString errorString() const { return server_.errorString(); }

    quint16 port() const { return server_.serverPort(); }
    QHostAddress address() const { return server_.serverAddress(); }
    int clientCount() const { return clients_; }
    // From now on, clients' lines wait while a VXI-11 link holds the lock.
    void holdBackWhile(const DeviceLock& lock) { lock_ = &lock; }
    // Where it listens and how many clients it serves, in one line.
    QString status() const;

signals:
    void statusChanged(const QString& status);

private:
    void take(qintptr descriptor);

    session::InstrumentSession& session_;
    ClientSlots& slots_;
    DescriptorServer server_;
    const DeviceLock* lock_ = nullptr;
    int clients_ = 0;
};

} // namespace remote
