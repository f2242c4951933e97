#include "RpcConnection.h"

namespace analyzer {

std::string RpcConnection::connect(const std::string& host, uint16_t port, std::chrono::milliseconds timeout)
{
    records_ = vxi11::RecordReader();
    return connectWithin(socket_, wait_, host, port, timeout);
}

void RpcConnection::send(const vxi11::Bytes& message)
{
    const vxi11::Bytes record = vxi11::asRecord(message);
    socket_.write(reinterpret_cast<const char*>(record.data()), static_cast<qint64>(record.size()));
    socket_.flush();
}

// Takes what arrived into records and offers each to the taker, until one
// is the reply; the rest are passed over.
bool RpcConnection::replyCame(const ReplyTaker& taken)
{
    const QByteArray arrived = socket_.readAll();
    records_.append(std::span(reinterpret_cast<const uint8_t*>(arrived.constData()), static_cast<std::size_t>(arrived.size())));
    while (const std::optional<vxi11::Bytes> record = records_.next())
        if (taken(*record))
            return true;
    return false;
}

RpcConnection::CallEnd RpcConnection::call(const vxi11::Bytes& message, const ReplyTaker& taken, std::chrono::milliseconds timeout)
{
    if (!connected())
        return CallEnd::Closed;
    send(message);
    bool replied = false;
    const auto ended = wait_.until(socket_, [&] {
        replied = replied || replyCame(taken);
        return replied || records_.failed() || !connected();
    }, timeout);
    if (replied)
        return CallEnd::Replied;
    if (ended == SocketWait::Ended::Aborted)
        return CallEnd::Aborted;
    if (records_.failed())
        return CallEnd::Overlong;
    return connected() ? CallEnd::TimedOut : CallEnd::Closed;
}

} // namespace analyzer
