#include "NetworkLine.h"

#include <QDeadlineTimer>

#include <algorithm>
#include <utility>

#include "LineWaits.h"

namespace usblink {
namespace {

// RFC 2217's values for the settings, from D2XX's.
constexpr uint32_t ComPortNoFlowControl = 1, ComPortXonXoff = 2, ComPortRtsCts = 3;

} // namespace

// Input arriving between reads is taken at once, so that the telnet side is
// answered and a closed connection is noticed while the panel is idle.
NetworkLine::NetworkLine(NetworkAddress address)
    : address_(std::move(address))
{
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    socket_.setReadBufferSize(ReceiveBufferBytes);
    watchInput();
    QObject::connect(&socket_, &QTcpSocket::disconnected, &socket_, [this] { retire(); });
    connecting_.start();
    socket_.connectToHost(QString::fromStdString(address_.host), address_.port);
}

// A connection closed on purpose is no loss to report.
NetworkLine::~NetworkLine()
{
    socket_.disconnect();
    socket_.abort();
}

bool NetworkLine::awaitConnection(int milliseconds)
{
    if (socket_.state() != QAbstractSocket::ConnectedState)
        socket_.waitForConnected(milliseconds);
    return socket_.state() == QAbstractSocket::ConnectedState;
}

void NetworkLine::greet()
{
    if (telnetLink())
        sendRaw(telnet_.greeting(), QDeadlineTimer(DefaultWaitMs));
}

// Unread input is held up to ReceiveBufferBytes; what comes beyond is
// dropped. A far side that keeps asking while it reads none of the answers
// is dropped, rather than its answers kept without end.
void NetworkLine::takeArrivals()
{
    const QByteArray bytes = socket_.readAll();
    if (!telnetLink())
        input_.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    else
        answer(telnet_.decode({ bytes.constData(), std::size_t(bytes.size()) }, input_));
    input_.resize(std::min(input_.size(), taken_ + static_cast<std::size_t>(ReceiveBufferBytes)));
}

void NetworkLine::answer(const std::string& answers)
{
    socket_.write(answers.data(), static_cast<qint64>(answers.size()));
    if (socket_.bytesToWrite() > MaxUnsentAnswers) {
        dropReason_ = address_.url + " kept asking telnet questions without reading the answers: the connection was "
                                     "dropped.";
        // Not from inside the socket's own signal: from the event loop, or
        // at once by a read that finds the line gone.
        QMetaObject::invokeMethod(&socket_, [this] { retire(); }, Qt::QueuedConnection);
    }
}

// Read input is let go of only once it is half the buffer, so that taking
// a byte at a time costs no move of all the rest.
std::size_t NetworkLine::takeInput(char* into, std::size_t count)
{
    const std::size_t taken = std::min(count, pending());
    std::copy_n(input_.begin() + static_cast<std::ptrdiff_t>(taken_), taken, into);
    taken_ += taken;
    if (taken_ == input_.size() || taken_ > input_.size() / 2) {
        input_.erase(0, taken_);
        taken_ = 0;
    }
    return taken;
}

std::size_t NetworkLine::dropInput()
{
    const std::size_t dropped = pending();
    input_.clear();
    taken_ = 0;
    return dropped;
}

uint32_t NetworkLine::send(const char* bytes, uint32_t count, const QDeadlineTimer& deadline)
{
    const std::string_view data(bytes, count);
    return sendRaw(telnetLink() ? TelnetCodec::escape(data) : std::string(data), deadline) ? count : 0;
}

bool NetworkLine::sendRaw(const std::string& bytes, const QDeadlineTimer& deadline)
{
    if (socket_.write(bytes.data(), static_cast<qint64>(bytes.size())) != static_cast<qint64>(bytes.size()))
        return false;
    while (socket_.bytesToWrite() > 0 && socket_.waitForBytesWritten(remainingMs(deadline))) { }
    return socket_.bytesToWrite() == 0;
}

// A peer that does not take the bytes within the time-out is taken for
// gone: TCP holds far more than a message while the far side still reads.
FT_STATUS NetworkLine::abandonWrite()
{
    return FT_DEVICE_NOT_FOUND;
}

// Input still in the socket, the system's part of it too, is taken first,
// so that telnet commands in it are answered, then dropped; a far side that
// floods is not waited out. No written data is ever left queued: a write
// either went out or took the line for gone.
bool NetworkLine::clear(bool input, bool)
{
    if (!input)
        return true;
    constexpr int MostBuffersTaken = 16;
    for (int taken = 0; taken < MostBuffersTaken && socket_.waitForReadyRead(0); ++taken) { }
    takeArrivals();
    dropInput();
    return true;
}

// A connection is there or gone for good: TCP has no failure to retry. One
// that is being dropped is gone already.
FT_STATUS NetworkLine::status()
{
    const bool there = socket_.state() == QAbstractSocket::ConnectedState && dropReason_.empty();
    return there ? FT_OK : FT_DEVICE_NOT_FOUND;
}

// Aborting drops what is still queued rather than sending it into the next
// connection's place.
void NetworkLine::stop()
{
    if (socket_.state() != QAbstractSocket::UnconnectedState)
        socket_.abort();
}

std::string NetworkLine::goneReason() const
{
    return dropReason_.empty() ? "The connection to " + address_.url + " was closed." : dropReason_;
}

std::string NetworkLine::notice() const
{
    if (telnet_.discardedSubnegotiations() == 0)
        return {};
    return address_.url + " sent a telnet subnegotiation longer than "
        + std::to_string(TelnetCodec::MaxSubnegotiationBytes) + " bytes; it was cut off there and reading went on.";
}

// On a raw link the far side's own configuration sets the line: the
// settings are accepted and go nowhere.
FT_STATUS NetworkLine::askFarSide(const std::vector<std::string>& commands)
{
    if (!telnetLink())
        return FT_OK;
    std::string bytes;
    for (const std::string& command : commands)
        bytes += command;
    return sendRaw(bytes, QDeadlineTimer(writeTimeoutMs())) ? FT_OK : FT_IO_ERROR;
}

FT_STATUS NetworkLine::setBaudRate(uint32_t baud)
{
    if (baud == 0)
        return FT_INVALID_PARAMETER;
    return askFarSide({ TelnetCodec::comPort(TelnetCodec::SetBaudRate, baud, 4) });
}

FT_STATUS NetworkLine::setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity)
{
    const bool known = (bits == 7 || bits == 8) && (stopBits == 0 || stopBits == 2) && parity <= 4;
    if (!known)
        return FT_INVALID_PARAMETER;
    // RFC 2217 counts stop bits as 1 for one and 2 for two, parity from 1 for none.
    return askFarSide({ TelnetCodec::comPort(TelnetCodec::SetDataSize, bits, 1),
        TelnetCodec::comPort(TelnetCodec::SetParity, parity + 1u, 1),
        TelnetCodec::comPort(TelnetCodec::SetStopSize, stopBits == 0 ? 1u : 2u, 1) });
}

FT_STATUS NetworkLine::setFlowControl(uint16_t flow)
{
    uint32_t control = 0;
    switch (flow) {
    case FT_FLOW_NONE:
        control = ComPortNoFlowControl;
        break;
    case FT_FLOW_RTS_CTS:
        control = ComPortRtsCts;
        break;
    case FT_FLOW_XON_XOFF:
        control = ComPortXonXoff;
        break;
    default:
        return FT_INVALID_PARAMETER;
    }
    return askFarSide({ TelnetCodec::comPort(TelnetCodec::SetControl, control, 1) });
}

} // namespace usblink
