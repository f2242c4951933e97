#pragma once

#include <QByteArray>
#include <map>
#include <optional>

namespace remote {

// One HTTP/1.x request as its head tells it: the request line and the header
// fields, names in lower case.
struct HttpRequest {
    QByteArray method;
    QByteArray path; // as sent, without the query
    QByteArray query; // after "?", without it
    std::map<QByteArray, QByteArray> headers;

    // The head, the request line up to the empty line that ends it (CR LF
    // CR LF included); nothing for what is not an HTTP/1.x request.
    static std::optional<HttpRequest> parseHead(const QByteArray& head);

    QByteArray header(const QByteArray& lowerCaseName) const;
    // Asks to become a WebSocket (RFC 6455): a GET with "Upgrade: websocket"
    // and "Connection: Upgrade" among its connection options.
    bool asksForWebSocket() const;
};

} // namespace remote
