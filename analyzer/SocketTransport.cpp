#include "SocketTransport.h"

namespace analyzer {

namespace {

std::string millisecondsText(std::chrono::milliseconds t)
{
    return std::to_string(t.count()) + " ms";
}

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
    socket_.connectToHost(QString::fromStdString(host_), port_);
    const auto ended = wait_.until(socket_, [this] {
        return socket_.state() == QAbstractSocket::ConnectedState || socket_.state() == QAbstractSocket::UnconnectedState;
    }, timeout);
    if (ended == SocketWait::Ended::Aborted)
        return Aborted;
    if (socket_.state() == QAbstractSocket::ConnectedState)
        return {};
    socket_.abort();
    return "cannot reach the analyzer at " + where() + ": "
        + (ended == SocketWait::Ended::TimedOut ? "no answer within " + millisecondsText(timeout)
                                                 : socket_.errorString().toStdString());
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
        return socket_.canReadLine() || socket_.bytesAvailable() > MaxLineBytes
            || socket_.state() != QAbstractSocket::ConnectedState;
    }, timeout);
    if (socket_.canReadLine()) {
        QByteArray line = socket_.readLine(MaxLineBytes + 1);
        while (line.endsWith('\n') || line.endsWith('\r'))
            line.chop(1);
        return { line.toStdString(), {} };
    }
    if (ended == SocketWait::Ended::Aborted)
        return { {}, Aborted };
    if (socket_.bytesAvailable() > MaxLineBytes)
        return { {}, "the analyzer at " + where() + " sent a line longer than 64 KiB" };
    if (socket_.state() != QAbstractSocket::ConnectedState)
        return { {}, lost() };
    return { {}, "no reply from the analyzer at " + where() + " within " + millisecondsText(timeout) };
}

} // namespace analyzer
