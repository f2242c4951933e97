#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <chrono>

#include "HttpRequest.h"

class QTcpSocket;

namespace remote {

// What a web server answers: one response, after which the connection
// closes (no keep-alive: a page of the panel is a few small requests, and a
// connection then costs nothing once answered).
struct HttpResponse {
    int status = 200;
    QByteArray contentType;
    QByteArray body;
    // Further header lines, "Name: value" each.
    QList<QByteArray> headers;

    static HttpResponse text(int status, const QByteArray& message);
};

// How much a client may make a connection hold before its request is
// answered: the head's bytes (a longer one is answered 431), and the time
// from connecting to the head's end (a client that drips its request is
// answered 408), so that neither memory nor connections are held for long.
struct HttpLimits {
    qsizetype headBytes = 16 * 1024;
    std::chrono::milliseconds headTime { 10000 };
    qsizetype bodyBytes = 4096; // a larger body is answered 413
};

// One client's connection to the web server: reads the request's head,
// only peeking at it, so that a WebSocket request can go on to a server of
// its own with the socket unread; then the body its Content-Length
// announces. The connection deletes itself, with its socket, once closed.
class HttpConnection : public QObject {
    Q_OBJECT
public:
    // Takes the socket, whose parent it becomes.
    HttpConnection(QTcpSocket* socket, const HttpLimits& limits, QObject* parent = nullptr);

    QTcpSocket* socket() const { return socket_; }
    // Answers, then closes once the response is written.
    void respond(const HttpResponse& response);
    // Lets go of the socket with its request unread, for a WebSocket server
    // to read the handshake: without parent, read buffer or signals of
    // this object's. The connection deletes itself; the socket is the
    // taker's.
    QTcpSocket* release();

signals:
    // The head has come and, with the body, is whole; the body is read
    // (peeked only for a WebSocket request).
    void requested(const remote::HttpRequest& request, const QByteArray& body);

private:
    void readHead();
    void readBody();
    void expire();

    QTcpSocket* socket_;
    const HttpLimits limits_;
    QTimer deadline_;
    std::optional<HttpRequest> request_;
    qsizetype bodyBytes_ = 0;
    bool answered_ = false;
};

} // namespace remote
