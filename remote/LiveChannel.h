#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QWebSocketServer>
#include <array>
#include <optional>
#include <vector>

#include "InstrumentSession.h"
#include "LiveState.h"
#include "Settings.h"

class QTcpSocket;
class QWebSocket;

namespace remote {

class DeviceLock;

// The live front panel's WebSocket channel: every viewer gets the whole
// state first, then each change as it happens. At most MaxViewers watch at
// once; one more is refused with a close reason. A viewer that does not
// read past SendBound bytes misses changes, and gets the whole state again
// once it has read its backlog, so a stalled browser holds nothing up.
// Control: while it is allowed, a viewer that presented the token (in the
// query "?token=…" of its request) may change settings; each change is
// checked against the settings table and sent through the session's queue
// as caused by "web ADDRESS". Changes arriving faster than the queue sends
// them are coalesced per setting, so a flood costs one message per setting.
// While a VXI-11 link holds the lock they wait as the socket's clients do,
// none sent between the holder's calls; waiting, they stay coalesced: a
// change sent meanwhile replaces the one waiting for its setting, so what
// waits is at most one value per setting, sent as one message each once the
// lock is released.
class LiveChannel : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxViewers = 32;
    static constexpr qint64 SendBound = 64 * 1024;
    static constexpr qint64 MaxFrame = 4 * 1024;

    LiveChannel(session::InstrumentSession& session, LiveState& state, QString token, QObject* parent = nullptr);
    ~LiveChannel() override;

    // Takes a connection whose upgrade request has only been peeked.
    void take(QTcpSocket* socket);
    // Test access: a server of its own on loopback; 0 when it cannot listen.
    quint16 listenOnLoopback();

    // While a VXI-11 link holds this lock, browsers' changes wait.
    void holdBackWhile(const DeviceLock& lock);
    void setControlAllowed(bool allowed);
    bool controlAllowed() const { return controlAllowed_; }
    const QString& token() const { return token_; }
    int viewers() const { return int(viewers_.size()); }
    // Changes refused (no token, control withdrawn, out of range, malformed).
    int refusals() const { return refusals_; }
    // The most bytes any viewer has not yet taken.
    qint64 largestBacklog() const;

    // A token for a run, from the system's random source.
    static QString newToken();

signals:
    void controlAllowedChanged(bool allowed);

private:
    struct Viewer {
        QWebSocket* socket;
        bool mayControl;
        bool behind = false;
    };
    void admit();
    void drop(QWebSocket* socket);
    void broadcast(const QJsonObject& part);
    void send(Viewer& viewer, const QJsonObject& message);
    void catchUp(QWebSocket* socket);
    QJsonObject wholeFor(const Viewer& viewer) const;
    void received(QWebSocket* socket, const QString& text);
    void refuse(const QWebSocket* socket, const QString& why);
    void change(const QString& address, instrument::SettingId id, int value);
    void queueSend();
    bool heldBack() const;
    void sendPending();
    Viewer* viewerOf(const QWebSocket* socket);

    session::InstrumentSession& session_;
    LiveState& state_;
    const QString token_;
    QWebSocketServer server_;
    std::vector<Viewer> viewers_;
    bool controlAllowed_ = false;
    int refusals_ = 0;
    const DeviceLock* lock_ = nullptr;
    std::array<std::optional<int>, instrument::SettingCount> pending_;
    std::string pendingOrigin_; // the last browser that changed a setting waiting
    bool sendQueued_ = false;
    bool waitNoted_ = false;
};

} // namespace remote
