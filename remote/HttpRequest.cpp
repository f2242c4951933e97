#include "HttpRequest.h"

#include <QList>
#include <cctype>

namespace remote {

namespace {

// A method or header name: an RFC 9110 token.
bool isToken(const QByteArray& text)
{
    static const QByteArray punctuation = "!#$%&'*+-.^_`|~";
    if (text.isEmpty())
        return false;
    for (const char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && !punctuation.contains(c))
            return false;
    return true;
}

// Whether a comma-separated header value holds the word, in any case.
bool listHolds(const QByteArray& value, const QByteArray& word)
{
    for (const QByteArray& item : value.split(','))
        if (item.trimmed().toLower() == word)
            return true;
    return false;
}

} // namespace

std::optional<HttpRequest> HttpRequest::parseHead(const QByteArray& head)
{
    QList<QByteArray> lines = head.split('\n');
    if (lines.size() < 3 || !lines.takeLast().isEmpty() || !lines.takeLast().trimmed().isEmpty())
        return std::nullopt;
    const QList<QByteArray> requestLine = lines.takeFirst().trimmed().split(' ');
    if (requestLine.size() != 3 || !isToken(requestLine[0]) || !requestLine[1].startsWith('/')
        || !requestLine[2].startsWith("HTTP/1."))
        return std::nullopt;
    HttpRequest request;
    request.method = requestLine[0];
    const qsizetype question = requestLine[1].indexOf('?');
    request.path = question < 0 ? requestLine[1] : requestLine[1].left(question);
    request.query = question < 0 ? QByteArray() : requestLine[1].mid(question + 1);
    for (const QByteArray& line : lines) {
        const qsizetype colon = line.indexOf(':');
        const QByteArray name = line.left(colon).toLower();
        if (colon < 0 || !isToken(name))
            return std::nullopt; // obsolete line folding included: RFC 9112 lets a server refuse it
        QByteArray& value = request.headers[name];
        value += (value.isEmpty() ? "" : ", ") + line.mid(colon + 1).trimmed();
    }
    return request;
}

QByteArray HttpRequest::header(const QByteArray& lowerCaseName) const
{
    const auto found = headers.find(lowerCaseName);
    return found == headers.end() ? QByteArray() : found->second;
}

bool HttpRequest::asksForWebSocket() const
{
    return method == "GET" && listHolds(header("upgrade"), "websocket") && listHolds(header("connection"), "upgrade");
}

} // namespace remote
