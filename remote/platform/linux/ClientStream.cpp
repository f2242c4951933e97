// A client's stream on the socket descriptor itself, so that a client that
// ends its sending still gets its replies.
#include "ClientStream.h"

#include <QHostAddress>
#include <QMetaObject>
#include <QSocketNotifier>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "HostText.h"

namespace remote {

namespace {

constexpr qint64 ReceiveChunk = 64 * 1024;

} // namespace

struct ClientStream::Io {
    Io(ClientStream& stream, int fd);
    ~Io();

    void receive();
    void send();
    void fail();
    void close();

    ClientStream& stream;
    int fd;
    QSocketNotifier readable;
    QSocketNotifier writable;
    QByteArray unsent;
    bool inputOpen = true;
    bool paused = false;
    bool closing = false;
    bool gone = false;
};

ClientStream::Io::Io(ClientStream& stream, int fd)
    : stream(stream)
    , fd(fd)
    , readable(fd, QSocketNotifier::Read)
    , writable(fd, QSocketNotifier::Write)
{
    writable.setEnabled(false);
    QObject::connect(&readable, &QSocketNotifier::activated, &stream, [this] { receive(); });
    QObject::connect(&writable, &QSocketNotifier::activated, &stream, [this] { send(); });
}

ClientStream::Io::~Io()
{
    if (fd >= 0)
        ::close(fd);
}

void ClientStream::Io::receive()
{
    QByteArray bytes(ReceiveChunk, Qt::Uninitialized);
    const ssize_t got = ::recv(fd, bytes.data(), static_cast<size_t>(bytes.size()), MSG_DONTWAIT);
    if (got < 0 && (errno == EAGAIN || errno == EINTR))
        return;
    if (got <= 0) {
        readable.setEnabled(false);
        inputOpen = false;
        if (got < 0)
            fail();
        else
            emit stream.inputEnded();
        return;
    }
    bytes.truncate(got);
    emit stream.received(bytes);
}

void ClientStream::Io::send()
{
    while (!unsent.isEmpty() && !gone) {
        const ssize_t sent
            = ::send(fd, unsent.constData(), static_cast<size_t>(unsent.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno == EAGAIN)
            break;
        if (sent < 0) {
            fail();
            return;
        }
        unsent.remove(0, sent);
    }
    writable.setEnabled(!unsent.isEmpty() && !gone);
    if (closing && unsent.isEmpty())
        close();
}

// Reported from the event loop: the failing call may have come from the
// stream's own owner, in the middle of its work.
void ClientStream::Io::fail()
{
    if (std::exchange(gone, true))
        return;
    unsent.clear();
    readable.setEnabled(false);
    writable.setEnabled(false);
    QMetaObject::invokeMethod(&stream, [this] {
        emit stream.failed();
        if (closing)
            close();
    }, Qt::QueuedConnection);
}

void ClientStream::Io::close()
{
    if (fd < 0)
        return;
    readable.setEnabled(false);
    writable.setEnabled(false);
    ::close(std::exchange(fd, -1));
    QMetaObject::invokeMethod(&stream, [this] { emit stream.closed(); }, Qt::QueuedConnection);
}

ClientStream::ClientStream(qintptr descriptor, QObject* parent)
    : QObject(parent)
    , io_(std::make_unique<Io>(*this, static_cast<int>(descriptor)))
{
}

ClientStream::~ClientStream() = default;

std::string ClientStream::peer() const
{
    sockaddr_storage address {};
    socklen_t length = sizeof address;
    if (::getpeername(io_->fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return "?";
    const auto* any = reinterpret_cast<const sockaddr*>(&address);
    const in_port_t port = any->sa_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(any)->sin6_port
                                                      : reinterpret_cast<const sockaddr_in*>(any)->sin_port;
    return (hostText(QHostAddress(any)) + ':' + QString::number(ntohs(port))).toStdString();
}

void ClientStream::pauseReading(bool paused)
{
    io_->paused = paused;
    io_->readable.setEnabled(io_->inputOpen && !paused && io_->fd >= 0);
}

void ClientStream::write(const QByteArray& bytes)
{
    if (io_->gone || io_->fd < 0)
        return;
    io_->unsent += bytes;
    io_->send();
}

qint64 ClientStream::unsent() const
{
    return io_->unsent.size();
}

void ClientStream::dropUnsent()
{
    io_->unsent.clear();
    io_->writable.setEnabled(false);
}

void ClientStream::closeWhenSent()
{
    io_->closing = true;
    if (io_->unsent.isEmpty())
        io_->close();
}

void ClientStream::abort()
{
    io_->unsent.clear();
    io_->close();
}

} // namespace remote

#include "moc_ClientStream.cpp"
