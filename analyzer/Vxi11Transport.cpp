#include "Vxi11Transport.h"

#include <QRandomGenerator>
#include <algorithm>
#include <optional>

namespace analyzer {

namespace {

using vxi11::ErrorCode;
using vxi11::Procedure;
using Clock = std::chrono::steady_clock;

constexpr uint16_t PortMapperPort = 111;
// The least a VXI-11 server may take in one device_write.
constexpr uint32_t LeastWriteChunk = 1024;

// What is left until the deadline; at least 1 ms, so that every wait ends
// by its own timer.
std::chrono::milliseconds leftUntil(Clock::time_point deadline)
{
    return std::max(std::chrono::milliseconds(1),
        std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()));
}

const char* vxi11CallName(Procedure procedure)
{
    switch (procedure) {
    case Procedure::CreateLink:
        return "create_link";
    case Procedure::DeviceWrite:
        return "device_write";
    case Procedure::DeviceRead:
        return "device_read";
    default:
        return "destroy_link";
    }
}

std::string vxi11WhatToDo(ErrorCode error)
{
    switch (error) {
    case ErrorCode::DeviceNotAccessible:
        return ": check the device name in the resource (most analyzers are TCPIP::host::inst0::INSTR)";
    case ErrorCode::OutOfResources:
        return ": close other clients' links to the analyzer";
    case ErrorCode::LockedByAnotherLink:
        return ": another client holds the analyzer's lock";
    default:
        return "";
    }
}

// Makes the call and keeps the decoded reply that answers it.
template <class Reply, class Decode>
RpcConnection::CallEnd exchange(RpcConnection& connection, const vxi11::Bytes& message, Decode decode, Reply* reply,
    std::chrono::milliseconds timeout)
{
    return connection.call(message, [&](std::span<const uint8_t> record) {
        std::optional<Reply> decoded = decode(record);
        if (decoded)
            *reply = std::move(*decoded);
        return decoded.has_value();
    }, timeout);
}

constexpr const char* TimeOutHint = ": check that the analyzer is on and that its sweeps end sooner";

std::string rawSocketHint(const std::string& host)
{
    return ", or give its raw socket, TCPIP::" + host + "::5025::SOCKET";
}

} // namespace

Vxi11Transport::Vxi11Transport(std::string host, std::string device)
    : host_(std::move(host))
    , device_(std::move(device))
    , lastXid_(QRandomGenerator::global()->generate())
{
}

// The server ends the link with the connection anyway; the call is not
// waited for, since a destructor must not run the event loop.
Vxi11Transport::~Vxi11Transport()
{
    if (linked_ && core_.connected())
        core_.send(vxi11::coreCall(++lastXid_, Procedure::DestroyLink, vxi11::LinkParms { link_ }));
}

std::string Vxi11Transport::where() const
{
    return "TCPIP::" + host_ + "::" + device_ + "::INSTR";
}

std::string Vxi11Transport::connect(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    uint16_t port = 0;
    if (std::string problem = corePort(leftUntil(deadline), &port); !problem.empty())
        return problem;
    const std::string unreachable = core_.connect(host_, port, leftUntil(deadline));
    if (unreachable == Aborted)
        return unreachable;
    if (!unreachable.empty())
        return "cannot reach the VXI-11 server of " + where() + " on port " + std::to_string(port) + ": " + unreachable;
    return createLink(leftUntil(deadline));
}

// Asks the host's port mapper where the core channel is served.
std::string Vxi11Transport::corePort(std::chrono::milliseconds timeout, uint16_t* port)
{
    const auto deadline = Clock::now() + timeout;
    const std::string unreachable = portMapper_.connect(host_, PortMapperPort, timeout);
    if (unreachable == Aborted)
        return unreachable;
    if (!unreachable.empty())
        return host_ + " has no port mapper (TCP port 111: " + unreachable
            + "): check that the analyzer is on and serves VXI-11" + rawSocketHint(host_);
    const uint32_t xid = ++lastXid_;
    vxi11::PortReply reply;
    const auto end = exchange(portMapper_, vxi11::portQuery(xid),
        [xid](std::span<const uint8_t> record) { return vxi11::portReply(record, xid); }, &reply, leftUntil(deadline));
    portMapper_.close();
    if (end != RpcConnection::CallEnd::Replied)
        return callProblem(end, "the port mapper's GETPORT", timeout);
    if (!reply.problem.empty())
        return "the port mapper of " + host_ + ": " + reply.problem;
    if (reply.port == 0)
        return "no VXI-11 server is registered with the port mapper of " + host_
            + ": check that the analyzer's VXI-11 (LAN) interface is on" + rawSocketHint(host_);
    *port = static_cast<uint16_t>(reply.port);
    return {};
}

std::string Vxi11Transport::createLink(std::chrono::milliseconds timeout)
{
    const CallResult created = coreCall(Procedure::CreateLink, vxi11::CreateLinkParms { 0, false, 0, device_ }, timeout);
    if (!created.problem.empty())
        return created.problem;
    const auto& link = std::get<vxi11::CreateLinkResp>(created.result);
    if (link.error != ErrorCode::None)
        return deviceProblem("create_link", link.error);
    link_ = link.link;
    linked_ = true;
    writeChunk_ = std::clamp<uint32_t>(link.maxRecvSize, LeastWriteChunk, MaxLineBytes);
    return {};
}

Vxi11Transport::CallResult Vxi11Transport::coreCall(
    Procedure procedure, const vxi11::ClientArguments& arguments, std::chrono::milliseconds timeout)
{
    const uint32_t xid = ++lastXid_;
    vxi11::CoreReply reply;
    const auto end = exchange(core_, vxi11::coreCall(xid, procedure, arguments),
        [xid, procedure](std::span<const uint8_t> record) { return vxi11::coreReply(record, xid, procedure); }, &reply,
        timeout);
    if (end != RpcConnection::CallEnd::Replied)
        return { {}, callProblem(end, vxi11CallName(procedure), timeout) };
    if (!reply.problem.empty())
        return { {}, "the analyzer at " + where() + " failed " + vxi11CallName(procedure) + ": " + reply.problem };
    return { std::move(reply.result), {} };
}

std::string Vxi11Transport::callProblem(RpcConnection::CallEnd end, const char* call, std::chrono::milliseconds timeout) const
{
    switch (end) {
    case RpcConnection::CallEnd::Aborted:
        return Aborted;
    case RpcConnection::CallEnd::Closed:
        return "the analyzer at " + where() + " closed the connection";
    case RpcConnection::CallEnd::Overlong:
        return "the analyzer at " + where() + " sent a record longer than 64 KiB";
    default:
        return "no reply from the analyzer at " + where() + " to " + call + " within " + millisecondsText(timeout)
            + TimeOutHint;
    }
}

std::string Vxi11Transport::deviceProblem(const char* call, ErrorCode error) const
{
    return "the analyzer at " + where() + " answered " + call + " with device error "
        + std::to_string(static_cast<int>(error)) + " (" + vxi11::meaningOf(error) + ")" + vxi11WhatToDo(error);
}

// One device_write per chunk the server takes; the last one ends the message.
std::string Vxi11Transport::writeLine(const std::string& line, std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    const std::string data = line + '\n';
    for (std::size_t sent = 0; sent < data.size();) {
        const std::size_t length = std::min<std::size_t>(writeChunk_, data.size() - sent);
        const auto chunk = data.begin() + static_cast<std::ptrdiff_t>(sent);
        const int32_t flags = sent + length == data.size() ? vxi11::flag::End : 0;
        const std::chrono::milliseconds left = leftUntil(deadline);
        const CallResult written = coreCall(Procedure::DeviceWrite,
            vxi11::WriteParms { link_, static_cast<uint32_t>(left.count()), 0, flags,
                vxi11::Bytes(chunk, chunk + static_cast<std::ptrdiff_t>(length)) },
            left);
        if (!written.problem.empty())
            return written.problem;
        const auto& taken = std::get<vxi11::WriteResp>(written.result);
        if (taken.error != ErrorCode::None)
            return deviceProblem("device_write", taken.error);
        if (taken.size == 0)
            return "the analyzer at " + where() + " takes nothing";
        sent += std::min<std::size_t>(taken.size, length);
    }
    return {};
}

// device_read until the reply's end or its LF, the server waiting for it
// as long as the time-out leaves.
LineResult Vxi11Transport::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = Clock::now() + timeout;
    std::string line;
    for (int32_t reason = 0; !(reason & (vxi11::reason::End | vxi11::reason::TermChar));) {
        const std::chrono::milliseconds left = leftUntil(deadline);
        const CallResult read = coreCall(Procedure::DeviceRead,
            vxi11::ReadParms { link_, MaxLineBytes, static_cast<uint32_t>(left.count()), 0, vxi11::flag::TermCharSet, '\n' },
            left);
        if (!read.problem.empty())
            return { {}, read.problem };
        const auto& reply = std::get<vxi11::ReadResp>(read.result);
        if (reply.error == ErrorCode::IoTimeout)
            return { {}, "no reply from the analyzer at " + where() + " within " + millisecondsText(timeout) + TimeOutHint };
        if (reply.error != ErrorCode::None)
            return { {}, deviceProblem("device_read", reply.error) };
        line.append(reply.data.begin(), reply.data.end());
        if (line.size() > MaxLineBytes)
            return { {}, "the analyzer at " + where() + " sent " + OverlongLine };
        reason = reply.reason;
    }
    while (line.ends_with('\n') || line.ends_with('\r'))
        line.pop_back();
    return { line, {} };
}

} // namespace analyzer
