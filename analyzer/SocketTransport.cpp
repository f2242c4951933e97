#include "SocketTransport.h"

namespace analyzer {

namespace {

constexpr qint64 MaxSocketLineBytes = MaxLineBytes;

} // namespace

SocketTransport::SocketTransport(std::string host, uint16_t port)
    : host_(std::move(host))
    , port_(port)
{
}

std::string SocketTransport::where() const
{
    return host_ + ":" + std::to_string(port_);
}

std::string SocketTransport::lost() const
{
    return "the analyzer at " + where() + " closed the connection";
}

std::string SocketTransport::connect(std::chrono::milliseconds timeout)
{
    const std::string problem = connectWithin(socket_, wait_, host_, port_, timeout);
    if (problem.empty() || problem == Aborted)
        return problem;
    return "cannot reach the analyzer at " + where() + ": " + problem;
}

std::string SocketTransport::writeLine(const std::string& line, std::chrono::milliseconds timeout)
{
    if (socket_.state() != QAbstractSocket::ConnectedState)
        return lost();
    socket_.write(QByteArray::fromStdString(line + '\n'));
    const auto ended = wait_.until(socket_, [this] {
        return socket_.bytesToWrite() == 0 || socket_.state() != QAbstractSocket::ConnectedState;
    }, timeout);
    if (ended == SocketWait::Ended::Aborted)
        return Aborted;
    if (socket_.state() != QAbstractSocket::ConnectedState)
        return lost();
    return ended == SocketWait::Ended::TimedOut ? "the analyzer at " + where() + " takes nothing" : "";
}

LineResult SocketTransport::readLine(std::chrono::milliseconds timeout)
{
    const auto ended = wait_.until(socket_, [this] {
        return socket_.canReadLine() || socket_.bytesAvailable() > MaxSocketLineBytes
            || socket_.state() != QAbstractSocket::ConnectedState;
    }, timeout);
    if (socket_.canReadLine()) {
        QByteArray line = socket_.readLine(MaxSocketLineBytes + 1);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        return { line.toStdString(), {} };
    }
    if (ended == SocketWait::Ended::Aborted)
        return { {}, Aborted };
    if (socket_.bytesAvailable() > MaxSocketLineBytes)
        return { {}, "the analyzer at " + where() + " sent " + OverlongLine };
    if (socket_.state() != QAbstractSocket::ConnectedState)
        return { {}, lost() };
    return { {}, "no reply from the analyzer at " + where() + " within " + millisecondsText(timeout) };
}

} // namespace analyzer
