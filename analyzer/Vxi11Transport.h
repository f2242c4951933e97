#pragma once

#include <chrono>
#include <cstdint>
#include <string>

#include "ClientCalls.h"
#include "RpcConnection.h"
#include "SocketWait.h"
#include "Transport.h"

namespace analyzer {

// VXI-11 (TCPIP::host[::device]::INSTR): the host's port mapper names the
// core channel's port, a link is made to the device, each line goes as one
// device_write ending the message, and device_read takes a reply up to its
// end or its LF. The link is destroyed when the transport goes.
class Vxi11Transport : public Transport {
public:
    Vxi11Transport(std::string host, std::string device);
    ~Vxi11Transport() override;
    Vxi11Transport(const Vxi11Transport&) = delete;
    Vxi11Transport& operator=(const Vxi11Transport&) = delete;

    std::string connect(std::chrono::milliseconds timeout) override;
    std::string writeLine(const std::string& line, std::chrono::milliseconds timeout) override;
    LineResult readLine(std::chrono::milliseconds timeout) override;
    void abortWait() override { wait_.abort(); }

private:
    struct CallResult {
        vxi11::Result result;
        std::string problem;
    };

    std::string corePort(std::chrono::milliseconds timeout, uint16_t* port);
    std::string createLink(std::chrono::milliseconds timeout);
    CallResult coreCall(vxi11::Procedure procedure, const vxi11::ClientArguments& arguments,
        std::chrono::milliseconds timeout);
    std::string callProblem(RpcConnection::CallEnd end, const char* call, std::chrono::milliseconds timeout) const;
    std::string deviceProblem(const char* call, vxi11::ErrorCode error) const;
    std::string where() const;

    std::string host_;
    std::string device_;
    SocketWait wait_;
    RpcConnection portMapper_ { wait_ };
    RpcConnection core_ { wait_ };
    uint32_t lastXid_;
    vxi11::LinkId link_ = 0;
    bool linked_ = false;
    uint32_t writeChunk_ = 0; // the most a device_write may carry, as the server said
};

} // namespace analyzer
