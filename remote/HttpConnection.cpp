#include "HttpConnection.h"

#include <QTcpSocket>
#include <map>

namespace remote {

namespace {

QByteArray reasonOf(int status)
{
    static const std::map<int, QByteArray> reasons { { 200, "OK" }, { 303, "See Other" }, { 400, "Bad Request" },
        { 404, "Not Found" }, { 405, "Method Not Allowed" }, { 408, "Request Timeout" }, { 411, "Length Required" },
        { 413, "Content Too Large" }, { 426, "Upgrade Required" }, { 431, "Request Header Fields Too Large" },
        { 500, "Internal Server Error" }, { 503, "Service Unavailable" } };
    const auto found = reasons.find(status);
    return found == reasons.end() ? QByteArray("Status") : found->second;
}

constexpr QByteArrayView HeadEnd = "\r\n\r\n";

} // namespace

HttpResponse HttpResponse::text(int status, const QByteArray& message)
{
    return { status, "text/plain; charset=utf-8", message + "\n", {} };
}

HttpConnection::HttpConnection(QTcpSocket* socket, const HttpLimits& limits, QObject* parent)
    : QObject(parent)
    , socket_(socket)
    , limits_(limits)
{
    socket_->setParent(this);
    // Qt reads no more from the system than this while the head is unread,
    // whatever the client sends.
    socket_->setReadBufferSize(limits_.headBytes);
    connect(socket_, &QTcpSocket::readyRead, this, &HttpConnection::readHead);
    connect(socket_, &QTcpSocket::disconnected, this, &QObject::deleteLater);
    deadline_.setSingleShot(true);
    connect(&deadline_, &QTimer::timeout, this, &HttpConnection::expire);
    deadline_.start(limits_.headTime);
    // What came with the connection is read once whoever made it has
    // connected to requested().
    QMetaObject::invokeMethod(this, &HttpConnection::readHead, Qt::QueuedConnection);
}

void HttpConnection::readHead()
{
    if (answered_)
        return;
    if (request_)
        return readBody();
    const QByteArray seen = socket_->peek(limits_.headBytes);
    const qsizetype end = seen.indexOf(HeadEnd);
    if (end < 0) {
        if (seen.size() >= limits_.headBytes)
            respond(HttpResponse::text(431, "The request's header is too long."));
        return;
    }
    const QByteArray head = seen.left(end + HeadEnd.size());
    request_ = HttpRequest::parseHead(head);
    if (!request_)
        return respond(HttpResponse::text(400, "Not an HTTP/1.1 request."));
    if (request_->asksForWebSocket())
        return emit requested(*request_, {});
    socket_->skip(head.size());
    bool isNumber = true;
    const QByteArray length = request_->header("content-length");
    bodyBytes_ = length.isEmpty() ? 0 : length.toLongLong(&isNumber);
    if (!request_->header("transfer-encoding").isEmpty())
        return respond(HttpResponse::text(411, "A request's body needs a Content-Length."));
    if (!isNumber || bodyBytes_ < 0)
        return respond(HttpResponse::text(400, "The Content-Length is not a number."));
    if (bodyBytes_ > limits_.bodyBytes)
        return respond(HttpResponse::text(413, "The request's body is too long."));
    readBody();
}

void HttpConnection::readBody()
{
    if (socket_->bytesAvailable() < bodyBytes_)
        return;
    deadline_.stop();
    emit requested(*request_, socket_->read(bodyBytes_));
}

void HttpConnection::respond(const HttpResponse& response)
{
    if (answered_ || !socket_)
        return;
    answered_ = true;
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonOf(response.status) + "\r\n";
    if (!response.contentType.isEmpty())
        head += "Content-Type: " + response.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(response.body.size()) + "\r\n";
    head += "Cache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\nConnection: close\r\n";
    for (const QByteArray& line : response.headers)
        head += line + "\r\n";
    socket_->write(head + "\r\n");
    if (!request_ || request_->method != "HEAD")
        socket_->write(response.body);
    socket_->disconnectFromHost();
    // A client that does not take its response is not waited for long.
    deadline_.start(limits_.headTime);
}

void HttpConnection::expire()
{
    if (answered_) {
        socket_->abort();
        return deleteLater();
    }
    respond(HttpResponse::text(408, "The request did not arrive in time."));
}

QTcpSocket* HttpConnection::release()
{
    deadline_.stop();
    QTcpSocket* socket = socket_;
    socket_ = nullptr;
    disconnect(socket, nullptr, this, nullptr);
    socket->setReadBufferSize(0);
    socket->setParent(nullptr);
    deleteLater();
    return socket;
}

} // namespace remote

#include "moc_HttpConnection.cpp"
