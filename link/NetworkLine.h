#pragma once

#include <QElapsedTimer>
#include <QTcpSocket>

#include <string>
#include <vector>

#include "Line.h"
#include "NetworkAddress.h"
#include "TelnetCodec.h"

namespace usblink {

// A serial line exported on the network as a Line: a TCP connection, raw or
// telnet with RFC 2217 COM-port control. The line holds the data received
// but not read yet; on an RFC 2217 link the telnet commands are taken out of
// it and answered, and the line settings are asked of the far side.
class NetworkLine : public Line {
public:
    // Received bytes Qt holds before the far side is held back by TCP, and
    // the most unread input the line keeps: what comes beyond is dropped.
    static constexpr qint64 ReceiveBufferBytes = 64 * 1024;
    // Telnet answers the far side has not taken, beyond which it is taken
    // for one that will not read, and dropped.
    static constexpr qint64 MaxUnsentAnswers = 64 * 1024;

    // Starts connecting to address.
    explicit NetworkLine(NetworkAddress address);
    ~NetworkLine() override;

    const NetworkAddress& address() const { return address_; }
    const QTcpSocket& socket() const { return socket_; }
    qint64 connectingForMs() const { return connecting_.elapsed(); }
    // Waits up to milliseconds for a connection still being made; whether
    // it is made.
    bool awaitConnection(int milliseconds);
    // What the client says first on an RFC 2217 link.
    void greet();

    FT_STATUS setBaudRate(uint32_t baud) override;
    FT_STATUS setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS setFlowControl(uint16_t flow) override;
    std::string notice() const override;

private:
    QIODevice& device() override { return socket_; }
    void takeArrivals() override;
    std::size_t pending() const override { return input_.size() - taken_; }
    std::size_t takeInput(char* into, std::size_t count) override;
    std::size_t dropInput() override;
    uint32_t send(const char* bytes, uint32_t count, const QDeadlineTimer& deadline) override;
    FT_STATUS abandonWrite() override;
    bool clear(bool input, bool output) override;
    FT_STATUS status() override;
    void stop() override;
    std::string goneReason() const override;

    void answer(const std::string& answers);
    bool telnetLink() const { return address_.protocol == NetworkAddress::Protocol::Rfc2217; }
    bool sendRaw(const std::string& bytes, const QDeadlineTimer& deadline);
    FT_STATUS askFarSide(const std::vector<std::string>& commands);

    NetworkAddress address_;
    QTcpSocket socket_;
    TelnetCodec telnet_;
    QElapsedTimer connecting_;
    std::string input_;
    std::size_t taken_ = 0; // how much of input_ has been read
    std::string dropReason_;
};

} // namespace usblink
