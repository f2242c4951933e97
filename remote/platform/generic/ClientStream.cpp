// A client's stream on Qt's socket, where the system offers nothing closer:
// a client that ends its sending has its connection closed, and gets no
// more replies.
#include "ClientStream.h"

#include <QTcpSocket>

#include "HostText.h"

namespace remote {

struct ClientStream::Io {
    QTcpSocket socket;
    bool paused = false;
    bool closing = false;
};

ClientStream::ClientStream(qintptr descriptor, QObject* parent)
    : QObject(parent)
    , io_(std::make_unique<Io>())
{
    QTcpSocket& socket = io_->socket;
    socket.setSocketDescriptor(descriptor);
    connect(&socket, &QTcpSocket::readyRead, this, [this] {
        if (!io_->paused)
            emit received(io_->socket.readAll());
    });
    connect(&socket, &QTcpSocket::bytesWritten, this, [this] {
        if (io_->closing && io_->socket.bytesToWrite() == 0)
            io_->socket.disconnectFromHost();
    });
    connect(&socket, &QTcpSocket::disconnected, this, [this] {
        emit inputEnded();
        emit failed();
        emit closed();
    });
}

ClientStream::~ClientStream() = default;

std::string ClientStream::peer() const
{
    return (hostText(io_->socket.peerAddress()) + ':' + QString::number(io_->socket.peerPort())).toStdString();
}

// Reading resumes when Qt's buffer has room: a buffer of one byte that is
// full holds the client back.
void ClientStream::pauseReading(bool paused)
{
    io_->paused = paused;
    io_->socket.setReadBufferSize(paused ? 1 : 0);
    if (!paused && io_->socket.bytesAvailable() > 0)
        emit received(io_->socket.readAll());
}

void ClientStream::write(const QByteArray& bytes)
{
    if (io_->socket.state() == QAbstractSocket::ConnectedState)
        io_->socket.write(bytes);
}

qint64 ClientStream::unsent() const
{
    return io_->socket.bytesToWrite();
}

// Qt keeps what it has not written to itself.
void ClientStream::dropUnsent()
{
}

void ClientStream::closeWhenSent()
{
    io_->closing = true;
    if (io_->socket.bytesToWrite() == 0)
        io_->socket.disconnectFromHost();
}

void ClientStream::abort()
{
    io_->socket.abort();
}

} // namespace remote

#include "moc_ClientStream.cpp"
