#pragma once

#include <QTcpSocket>
#include <cstdint>
#include <string>

#include "SocketWait.h"
#include "Transport.h"

namespace analyzer {

// Raw SCPI on TCP (TCPIP::host::port::SOCKET): a line ends in LF each way.
class SocketTransport : public Transport {
public:
    SocketTransport(std::string host, uint16_t port);

    std::string connect(std::chrono::milliseconds timeout) override;
    std::string writeLine(const std::string& line, std::chrono::milliseconds timeout) override;
    LineResult readLine(std::chrono::milliseconds timeout) override;
    void abortWait() override { wait_.abort(); }

private:
    std::string where() const;
    std::string lost() const;

    std::string host_;
    uint16_t port_;
    QTcpSocket socket_;
    SocketWait wait_;
};

} // namespace analyzer
