#pragma once

#include <QTcpSocket>
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "Bytes.h"
#include "RecordMarking.h"
#include "SocketWait.h"

namespace analyzer {

// ONC RPC on a TCP connection: each call's message goes as one record, and
// records come back until one is the reply awaited, with events processed
// while it waits, within the call's time-out.
class RpcConnection {
public:
    enum class CallEnd { Replied, TimedOut, Aborted, Closed, Overlong };
    // Looks at a record that came: true when it was the reply awaited.
    using ReplyTaker = std::function<bool(std::span<const uint8_t>)>;

    // The wait is shared with the transport's other connection, so that
    // one abort ends whichever is waiting.
    explicit RpcConnection(SocketWait& wait)
        : wait_(wait)
    {
    }

    // Empty when connected, Aborted, or else why not.
    std::string connect(const std::string& host, uint16_t port, std::chrono::milliseconds timeout);
    CallEnd call(const vxi11::Bytes& message, const ReplyTaker& taken, std::chrono::milliseconds timeout);
    // A call whose reply nobody waits for, handed to the system at once.
    void send(const vxi11::Bytes& message);
    void close() { socket_.abort(); }
    bool connected() const { return socket_.state() == QAbstractSocket::ConnectedState; }

private:
    bool replyCame(const ReplyTaker& taken);

    SocketWait& wait_;
    QTcpSocket socket_;
    vxi11::RecordReader records_;
};

} // namespace analyzer
