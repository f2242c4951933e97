#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "DeviceCalls.h"
#include "InstrumentSession.h"
#include "MessageSyntax.h"

namespace remote {

// One VXI-11 link: a client of the instrument like one of the SCPI socket.
// Its writes gather a message until one ends it; the message is then one
// exchange queued on the session under the client's address, the link's
// only one: what the link is asked meanwhile (a write, a clear, its status
// byte) waits for it, as a socket client's next line does. A query's reply
// is kept for the link's reads, followed by LF as an instrument's is.
class Vxi11Link : public QObject {
    Q_OBJECT
public:
    using Answer = std::function<void(const vxi11::Result& result)>;
    // The most a link gathers of a message: the instrument's command
    // buffer, with the line end a client may send.
    static constexpr std::size_t MaxMessageBytes = instrument::MaxMessageLength + 2;
    // Status byte bit: output is waiting to be read (IEEE 488.2).
    static constexpr uint8_t MessageAvailable = 0x10;

    Vxi11Link(vxi11::LinkId id, session::InstrumentSession& session, std::string origin, QObject* parent = nullptr);

    vxi11::LinkId id() const { return id_; }

    // Runs step now, or once the link's exchange is carried out.
    void whenIdle(std::function<void()> step);
    void write(const vxi11::WriteParms& write, Answer answer);
    // Reads the kept reply, or waits for it up to the read's I/O time-out,
    // then answers IoTimeout.
    void read(const vxi11::ReadParms& read, Answer answer);
    // Drops the message being gathered and the reply kept.
    void clear();
    uint8_t statusByte() const { return output_.empty() ? 0 : MessageAvailable; }
    // Ends a read that waits with Abort.
    void abort();

private:
    struct WaitingRead {
        vxi11::ReadParms parms;
        Answer answer;
    };

    void carryOut(std::string message, uint32_t size, Answer answer);
    void enqueue(std::string message, bool refused, std::function<void(vxi11::ErrorCode)> sent);
    vxi11::ErrorCode keep(const usblink::Reply& reply);
    void exchangeDone();
    bool hasOutput() const { return failure_ != vxi11::ErrorCode::None || !output_.empty(); }
    void dropOutput();
    void endWaitingRead(vxi11::ErrorCode error);

    vxi11::LinkId id_;
    session::InstrumentSession& session_;
    std::string origin_;
    std::string message_;
    // The message being gathered grew too long: the rest of it, up to the
    // write that ends it, is dropped as well, so that no part is ever sent.
    bool overflowed_ = false;
    std::string output_;
    // What the next read reports instead of output: the last query failed.
    vxi11::ErrorCode failure_ = vxi11::ErrorCode::None;
    bool exchangeQueued_ = false;
    std::function<void()> afterExchange_;
    QTimer outputWait_;
    std::optional<WaitingRead> waitingRead_;
};

} // namespace remote
