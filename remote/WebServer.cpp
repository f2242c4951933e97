#include "WebServer.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTcpSocket>

#include "HostText.h"
#include "LxiIdentification.h"
#include "WelcomePage.h"

namespace remote {

namespace {

constexpr const char* IdentificationPath = "/lxi/identification";
constexpr const char* IdentifyPath = "/identify";

// What the panel's own pages may do in a browser: load from the panel only,
// never be framed by another site's page.
const QList<QByteArray> PageHeaders { "Content-Security-Policy: default-src 'self'; connect-src 'self' ws: wss:; frame-ancestors 'none'",
    "X-Frame-Options: DENY" };

QByteArray contentTypeOf(const QString& suffix)
{
    static const std::map<QString, QByteArray> types { { "html", "text/html; charset=utf-8" },
        { "js", "text/javascript; charset=utf-8" }, { "css", "text/css; charset=utf-8" },
        { "svg", "image/svg+xml" }, { "png", "image/png" }, { "json", "application/json" },
        { "py", "text/plain; charset=utf-8" } };
    const auto found = types.find(suffix.toLower());
    return found == types.end() ? QByteArray("application/octet-stream") : found->second;
}

// A path of plain names under the folder: no "..", no hidden files, no
// escapes, nothing a file system could read as anything else.
bool isPlainPath(const QByteArray& path)
{
    static const QRegularExpression plain("^(/[A-Za-z0-9_-][A-Za-z0-9._-]*)+$");
    return plain.match(QString::fromLatin1(path)).hasMatch() && !path.contains("..");
}

HttpResponse notAllowed(const QByteArray& allowed)
{
    HttpResponse response = HttpResponse::text(405, "Not allowed here; allowed: " + allowed + ".");
    response.headers << "Allow: " + allowed;
    return response;
}

} // namespace

WebServer::WebServer(const QDir& folder, Describe describe, HttpLimits limits, QObject* parent)
    : QObject(parent)
    , folder_(folder)
    , describe_(std::move(describe))
    , limits_(limits)
{
    connect(&server_, &QTcpServer::newConnection, this, &WebServer::take);
}

bool WebServer::listen(const QHostAddress& host, std::optional<quint16> port)
{
    if (port)
        return server_.listen(host, *port);
    for (const quint16 preferred : PreferredPorts)
        if (server_.listen(host, preferred))
            return true;
    return false;
}

QString WebServer::url() const
{
    const QString port = server_.serverPort() == 80 ? QString() : ':' + QString::number(server_.serverPort());
    return "http://" + hostText(server_.serverAddress()) + port + "/";
}

QString WebServer::status() const
{
    return server_.isListening() ? "Web pages on " + url() : QString();
}

void WebServer::take()
{
    while (QTcpSocket* socket = server_.nextPendingConnection()) {
        if (connections_ >= MaxConnections) {
            socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
            socket->disconnectFromHost();
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            continue;
        }
        auto* connection = new HttpConnection(socket, limits_, this);
        ++connections_;
        connect(connection, &QObject::destroyed, this, [this] { --connections_; });
        connect(connection, &HttpConnection::requested, this,
            [this, connection](const HttpRequest& request, const QByteArray& body) { answer(connection, request, body); });
    }
}

void WebServer::answer(HttpConnection* connection, const HttpRequest& request, const QByteArray&)
{
    if (request.asksForWebSocket() && request.path == WebSocketPath && upgrade_)
        return upgrade_(connection->release());
    connection->respond(page(*connection, request));
}

HttpResponse WebServer::page(const HttpConnection& connection, const HttpRequest& request)
{
    if (request.path == IdentifyPath) {
        if (request.method != "POST")
            return notAllowed("POST");
        emit identifyRequested(peerText(*connection.socket()));
        // Back to the page, as a form's answer, so that reloading it asks nothing again.
        return { 303, "text/plain; charset=utf-8", "Identifying.\n", { "Location: /" } };
    }
    if (request.method != "GET" && request.method != "HEAD")
        return notAllowed("GET, HEAD");
    if (request.path == "/")
        return { 200, "text/html; charset=utf-8", welcomePage(pageRequest(connection), folder_.exists(LivePanelPage + 1)),
            PageHeaders };
    // Exactly this path: LXI clients ask for it so; one with a slash more is not it.
    if (request.path == IdentificationPath)
        return { 200, "text/xml; charset=utf-8", lxiIdentification(pageRequest(connection)), {} };
    if (request.path == WebSocketPath) {
        HttpResponse response = HttpResponse::text(426, "This path takes WebSocket connections only.");
        response.headers << "Upgrade: websocket";
        return response;
    }
    return file(request.path);
}

HttpResponse WebServer::file(const QByteArray& path) const
{
    const QFileInfo info(folder_.filePath(QString::fromLatin1(path.mid(1))));
    QFile file(info.filePath());
    if (!isPlainPath(path) || !info.isFile() || !file.open(QIODevice::ReadOnly))
        return HttpResponse::text(404, "No such page.");
    return { 200, contentTypeOf(info.suffix()), file.readAll(), PageHeaders };
}

PageRequest WebServer::pageRequest(const HttpConnection& connection) const
{
    return { describe_(), connection.socket()->localAddress(), server_.serverPort() };
}

} // namespace remote

#include "moc_WebServer.cpp"
