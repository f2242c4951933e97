#include "ScpiClient.h"

#include <QPointer>
#include <QTcpSocket>

#include "FTDI_Driver.h"
#include "HostText.h"
#include "MessageSyntax.h"
#include "QuickAck.h"


namespace remote {

namespace {

std::string addressOf(const QTcpSocket& socket)
{
    return (hostText(socket.peerAddress()) + ':' + QString::number(socket.peerPort())).toStdString();
}

// The line without its LF and a CR before it.
QByteArray withoutLineEnd(QByteArray line)
{
    line.chop(1);
    if (line.endsWith('\r'))
        line.chop(1);
    return line;
}

// Whether the message with the CR LF the driver appends fits its command
// buffer; one that does not is never sent, as a cut message would be another.
bool fitsCommandBuffer(const QByteArray& message)
{
    return static_cast<std::size_t>(message.size()) + 2 <= usblink::FTDI_Driver::CommandBufferSize;
}

} // namespace

ScpiClient::ScpiClient(QTcpSocket* socket, session::InstrumentSession& session, QObject* parent)
    : QObject(parent)
    , socket_(socket)
    , session_(session)
    , origin_(addressOf(*socket))
{
    socket_->setParent(this);
    // Unread input stays in the kernel beyond this, which holds the client back.
    socket_->setReadBufferSize(MaxLineBytes);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

void ScpiClient::start()
{
    // Queued: an exchange run from inside the signal would keep the socket
    // from signalling the input that arrives meanwhile.
    connect(socket_, &QTcpSocket::readyRead, this, &ScpiClient::takeNextLine, Qt::QueuedConnection);
    connect(socket_, &QTcpSocket::disconnected, this, &ScpiClient::hungUp);
    if (socket_->state() == QAbstractSocket::ConnectedState)
        takeNextLine();
    else
        hungUp();
}

void ScpiClient::takeNextLine()
{
    if (lineQueued_)
        return;
    if (socket_->canReadLine()) {
        lineQueued_ = true;
        const QByteArray line = withoutLineEnd(socket_->readLine(MaxLineBytes + 1));
        acknowledgeAtOnce(socket_->socketDescriptor());
        session_.enqueue(
            [client = QPointer(this), line] {
                if (client)
                    client->carryOut(line);
            },
            origin_);
        return;
    }
    if (connected_ && socket_->bytesAvailable() >= MaxLineBytes) {
        socket_->abort();
        hungUp();
        return;
    }
    if (!connected_) {
        socket_->disconnect(this);
        emit finished();
    }
}

void ScpiClient::carryOut(const QByteArray& line)
{
    const bool isQuery = instrument::expectsReply(line.toStdString());
    if (!fitsCommandBuffer(line)) {
        if (isQuery)
            answer(usblink::FTDI_Driver::ReadError);
    } else if (!isQuery) {
        session_.send(line.toStdString());
    } else if (connected_) {
        answer(session_.query(line.toStdString()));
    }
    lineQueued_ = false;
    takeNextLine();
}

// A client that has gone (even while its query was out) gets nothing.
void ScpiClient::answer(const std::string& reply)
{
    if (!connected_ || socket_->state() != QAbstractSocket::ConnectedState)
        return;
    socket_->write(QByteArray::fromStdString(reply + '\n'));
    socket_->flush();
}

void ScpiClient::hungUp()
{
    if (!connected_)
        return;
    connected_ = false;
    takeNextLine();
}

} // namespace remote

#include "moc_ScpiClient.cpp"
