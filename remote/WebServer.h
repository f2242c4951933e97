#pragma once

#include <QDir>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <functional>
#include <optional>

#include "HttpConnection.h"
#include "InstrumentDescription.h"

class QTcpSocket;

namespace remote {

// The panel's web pages on HTTP, as LAN instruments serve them: the LXI
// welcome page at "/", the LXI identification document at exactly
// "/lxi/identification", "/identify" (POST) that makes the desktop window
// show itself, and the files of one folder (the live front panel's page and
// script among them). A WebSocket request for "/ws" goes to the upgrade
// handler. At most MaxConnections requests are read at once; the limits
// bound what each may hold. Nothing served changes the instrument: what
// does goes through the WebSocket channel, which has its own rules.
class WebServer : public QObject {
    Q_OBJECT
public:
    static constexpr int MaxConnections = 32;
    static constexpr const char* WebSocketPath = "/ws";
    // The live front panel's page in the folder: the welcome page links it
    // as a tab when it is there.
    static constexpr const char* LivePanelPage = "/panel.html";
    // Tried in turn when no port is named: HTTP's own, then its usual
    // stand-in for a user who may not bind it, then any.
    static constexpr quint16 PreferredPorts[] = { 80, 8080, 0 };

    // The seam to the WebSocket channel. Called with the socket of a
    // request for WebSocketPath that asks for a WebSocket (Upgrade:
    // websocket), whose request has only been peeked at: the whole
    // handshake is still to be read, as QWebSocketServer::handleConnection
    // expects. The socket has no parent, no read-buffer limit and no
    // connection to this server; the handler owns it from then on (and
    // deletes it, or hands it to an owner that does). It may refuse by
    // writing an HTTP response and closing the socket itself.
    using UpgradeHandler = std::function<void(QTcpSocket* socket)>;
    // What the pages describe, asked anew for every page.
    using Describe = std::function<InstrumentDescription()>;

    WebServer(const QDir& folder, Describe describe, HttpLimits limits = {}, QObject* parent = nullptr);

    // Binds the address, on the port when one is named, else on the first
    // of PreferredPorts that can be had. False when none can; errorString()
    // says why.
    bool listen(const QHostAddress& host, std::optional<quint16> port);
    QString errorString() const { return server_.errorString(); }
    quint16 port() const { return server_.serverPort(); }
    QHostAddress address() const { return server_.serverAddress(); }
    // The welcome page's address, as "http://127.0.0.1:8080/".
    QString url() const;
    // Where it serves, for the remote status line.
    QString status() const;

    void setUpgradeHandler(UpgradeHandler handler) { upgrade_ = std::move(handler); }

signals:
    // A browser at the address pressed "Identify".
    void identifyRequested(const QString& peer);

private:
    void take();
    void answer(HttpConnection* connection, const HttpRequest& request, const QByteArray& body);
    HttpResponse page(const HttpConnection& connection, const HttpRequest& request);
    HttpResponse file(const QByteArray& path) const;
    PageRequest pageRequest(const HttpConnection& connection) const;

    QTcpServer server_;
    const QDir folder_;
    const Describe describe_;
    const HttpLimits limits_;
    UpgradeHandler upgrade_;
    int connections_ = 0;
};

} // namespace remote
