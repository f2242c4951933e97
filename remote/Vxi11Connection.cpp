#include "Vxi11Connection.h"

#include <QPointer>
#include <QTcpSocket>

#include "HostText.h"
#include "KeepAlive.h"

namespace remote {

namespace {

// Replies not yet taken by the client beyond this, and no further call is
// read until they are.
constexpr qint64 MaxUnsentBytes = vxi11::MaxRecordBytes;

} // namespace

Vxi11Connection::Vxi11Connection(QTcpSocket* socket, Vxi11Device& device, uint32_t program, QObject* parent)
    : QObject(parent)
    , socket_(socket)
    , device_(device)
    , program_(program)
    , origin_(("vxi11 " + peerText(*socket)).toStdString())
{
    socket_->setParent(this);
    // Unread input stays in the kernel beyond this, which holds the client back.
    socket_->setReadBufferSize(vxi11::MaxRecordBytes);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    probeWhenIdle(socket_->socketDescriptor());
    partialRecord_.setSingleShot(true);
    connect(&partialRecord_, &QTimer::timeout, this, &Vxi11Connection::end);
    connect(&device_, &Vxi11Device::idleConnectionEvicted, this, [this](const QObject* evicted) {
        if (evicted == this)
            end();
    });
}

void Vxi11Connection::start()
{
    // Queued: an exchange run from inside the signal would keep the socket
    // from signalling the input that arrives meanwhile.
    connect(socket_, &QTcpSocket::readyRead, this, &Vxi11Connection::takeCalls, Qt::QueuedConnection);
    connect(socket_, &QTcpSocket::bytesWritten, this, &Vxi11Connection::takeCalls, Qt::QueuedConnection);
    connect(socket_, &QTcpSocket::disconnected, this, &Vxi11Connection::hungUp);
    if (socket_->state() == QAbstractSocket::ConnectedState)
        takeCalls();
    else
        hungUp();
}

// An answer given at once comes back here while the loop runs: the loop
// then takes the next call itself.
void Vxi11Connection::takeCalls()
{
    if (taking_)
        return;
    taking_ = true;
    while (!callOpen_ && socket_->state() == QAbstractSocket::ConnectedState && socket_->bytesToWrite() < MaxUnsentBytes) {
        if (const std::optional<vxi11::Bytes> record = records_.next())
            carryOut(*record);
        else if (records_.failed())
            end();
        else if (!readMore())
            break;
    }
    taking_ = false;
    // Counted from the first byte of a record, not restarted by more.
    if (callOpen_ || records_.buffered() == 0)
        partialRecord_.stop();
    else if (!partialRecord_.isActive())
        partialRecord_.start(PartialRecordTimeout);
}

bool Vxi11Connection::readMore()
{
    const QByteArray received = socket_->read(vxi11::MaxRecordBytes);
    records_.append({ reinterpret_cast<const uint8_t*>(received.constData()), static_cast<std::size_t>(received.size()) });
    return !received.isEmpty();
}

void Vxi11Connection::carryOut(const vxi11::Bytes& record)
{
    const vxi11::Decoded decoded = vxi11::decodeCall(record, program_);
    if (!decoded.call) {
        if (decoded.refusal.empty())
            end();
        else
            send(decoded.refusal);
        return;
    }
    callOpen_ = true;
    device_.carryOut(this, origin_, *decoded.call,
        [connection = QPointer(this), xid = decoded.call->xid](const vxi11::Result& result) {
            if (!connection)
                return;
            connection->send(vxi11::resultReply(xid, result));
            connection->callOpen_ = false;
            connection->takeCalls();
        });
}

void Vxi11Connection::send(const vxi11::Bytes& message)
{
    const vxi11::Bytes record = vxi11::asRecord(message);
    socket_->write(reinterpret_cast<const char*>(record.data()), static_cast<qint64>(record.size()));
    socket_->flush();
}

void Vxi11Connection::end()
{
    socket_->abort();
    hungUp();
}

void Vxi11Connection::hungUp()
{
    if (std::exchange(gone_, true))
        return;
    device_.dropLinksOf(this);
    emit finished();
}

} // namespace remote

#include "moc_Vxi11Connection.cpp"
