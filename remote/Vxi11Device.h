#pragma once

#include <QObject>
#include <map>
#include <memory>
#include <string>

#include "ClientSlots.h"
#include "DeviceCalls.h"
#include "DeviceLock.h"
#include "InstrumentSession.h"
#include "Vxi11Link.h"

namespace remote {

// The instrument as a VXI-11 device named inst0: carries out the calls of
// both channels for the connections that bring them, with the links they
// create, and the lock among those links. Each link takes one of the
// remote clients' slots.
class Vxi11Device : public QObject {
    Q_OBJECT
public:
    using Answer = Vxi11Link::Answer;
    static constexpr const char* Name = "inst0";
    // What a client may write at once; pyvisa-py writes in pieces of
    // 1024 bytes, and would cut a message at less.
    static constexpr uint32_t MaxRecvSize = 1024;
    // The most links one connection holds, so that one client cannot take
    // every slot.
    static constexpr int MaxLinksPerConnection = 4;

    Vxi11Device(session::InstrumentSession& session, ClientSlots& clientSlots, QObject* parent = nullptr);

    // The port of the abort channel, which create_link tells clients.
    void setAbortPort(quint16 port) { abortPort_ = port; }

    // Carries out a call brought by a connection, whose links are its own;
    // answer is called once, now or later.
    void carryOut(const QObject* connection, const std::string& origin, const vxi11::Call& call, Answer answer);
    // The connection has gone: so have its links.
    void dropLinksOf(const QObject* connection);

    int linkCount() const { return static_cast<int>(links_.size()); }
    const DeviceLock& lock() const { return lock_; }
    // Who holds the lock, as "vxi11 127.0.0.1"; empty when no link does.
    QString lockHolder() const;

signals:
    // A link came or went, or the lock changed hands.
    void linksChanged();
    // The connection's links were idle long enough to give their slots to
    // a new client: it is to be closed.
    void idleConnectionEvicted(const QObject* connection);

private:
    struct LinkEntry {
        const QObject* connection;
        QString host; // the core connection's client, the only one that may abort the link
        std::unique_ptr<Vxi11Link> link;
    };

    void createLink(const QObject* connection, const std::string& origin, const vxi11::CreateLinkParms& parms,
        Answer answer);
    void abort(vxi11::LinkId id, const QString& host, const Answer& answer);
    vxi11::LinkId unusedLinkId() const;
    int linksOf(const QObject* connection) const;
    void carryOutOnLink(Vxi11Link& link, const vxi11::Call& call, const Answer& answer);
    void carryOutUnlocked(Vxi11Link& link, const vxi11::Call& call, const Answer& answer);
    void destroy(vxi11::LinkId id);

    session::InstrumentSession& session_;
    ClientSlots& slots_;
    quint16 abortPort_ = 0;
    DeviceLock lock_;
    std::map<vxi11::LinkId, LinkEntry> links_;
};

} // namespace remote
