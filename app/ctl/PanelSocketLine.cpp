#include "PanelSocketLine.h"

#include <QDeadlineTimer>
#include <QHostAddress>

namespace ctl {

namespace {

usblink::Reply replyOf(QByteArray line)
{
    line.chop(1);
    const std::string text = line.toStdString();
    if (text == usblink::FTDI_Driver::ReadTimeout)
        return { text, usblink::Reply::Outcome::TimedOut };
    if (text == usblink::FTDI_Driver::ReadError)
        return { text, usblink::Reply::Outcome::Failed };
    return { text, usblink::Reply::Outcome::Answered };
}

// A panel that listens on every address is reached on the loopback one.
QHostAddress reachable(const QHostAddress& address)
{
    if (address == QHostAddress::AnyIPv6 || address == QHostAddress::Any)
        return QHostAddress::LocalHostIPv6;
    return address == QHostAddress::AnyIPv4 ? QHostAddress::LocalHost : address;
}

} // namespace

PanelSocketLine::~PanelSocketLine()
{
    // Lines written before the hang-up are still carried out by the panel;
    // they must have left first.
    socket_.disconnectFromHost();
    if (socket_.state() != QAbstractSocket::UnconnectedState)
        socket_.waitForDisconnected(ConnectTimeoutMs);
}

std::string PanelSocketLine::connectTo(const std::string& host, uint16_t port)
{
    const QHostAddress address(QString::fromStdString(host));
    if (address.isNull())
        socket_.connectToHost(QString::fromStdString(host), port);
    else
        socket_.connectToHost(reachable(address), port);
    if (socket_.waitForConnected(ConnectTimeoutMs))
        return {};
    return "cannot reach the panel at " + host + ":" + std::to_string(port) + ": "
        + socket_.errorString().toStdString();
}

void PanelSocketLine::write(const std::string& message)
{
    socket_.write(QByteArray::fromStdString(message + '\n'));
    while (intact_ && socket_.bytesToWrite() > 0)
        intact_ = socket_.waitForBytesWritten(ConnectTimeoutMs);
    intact_ = intact_ && socket_.state() == QAbstractSocket::ConnectedState;
}

bool PanelSocketLine::send(const std::string& message)
{
    write(message);
    return intact_;
}

usblink::Reply PanelSocketLine::ask(const std::string& query)
{
    write(query);
    const QDeadlineTimer deadline(replyTimeoutMs_);
    while (!socket_.canReadLine() && socket_.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) { }
    if (socket_.canReadLine())
        return replyOf(socket_.readLine());
    intact_ = intact_ && socket_.state() == QAbstractSocket::ConnectedState;
    if (!intact_)
        return { usblink::FTDI_Driver::ReadError, usblink::Reply::Outcome::Failed };
    return { usblink::FTDI_Driver::ReadTimeout, usblink::Reply::Outcome::TimedOut };
}

} // namespace ctl
