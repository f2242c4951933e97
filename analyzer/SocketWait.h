#pragma once

#include <QAbstractSocket>
#include <QEventLoop>
#include <QTimer>
#include <QTcpSocket>
#include <chrono>
#include <functional>
#include <string>

#include "Transport.h"

namespace analyzer {

// Runs the event loop until done() holds, the time-out passes or the wait is
// ended; a socket's arrivals, departures and hang-up wake it to look again.
class SocketWait {
public:
    enum class Ended { Done, TimedOut, Aborted };

    Ended until(QAbstractSocket& socket, const std::function<bool()>& done, std::chrono::milliseconds timeout)
    {
        aborted_ = false;
        QTimer limit;
        limit.setSingleShot(true);
        bool timedOut = false;
        QObject::connect(&limit, &QTimer::timeout, &loop_, [&] { timedOut = true; loop_.quit(); });
        const auto wake = [this] { loop_.quit(); };
        const auto c1 = QObject::connect(&socket, &QAbstractSocket::readyRead, &loop_, wake);
        const auto c2 = QObject::connect(&socket, &QAbstractSocket::bytesWritten, &loop_, wake);
        const auto c3 = QObject::connect(&socket, &QAbstractSocket::stateChanged, &loop_, wake);
        const auto c4 = QObject::connect(&socket, &QAbstractSocket::errorOccurred, &loop_, wake);
        limit.start(timeout);
        Ended ended = Ended::Done;
        while (!done()) {
            if (timedOut || aborted_) {
                ended = aborted_ ? Ended::Aborted : Ended::TimedOut;
                break;
            }
            loop_.exec();
        }
        for (const auto& c : { c1, c2, c3, c4 })
            QObject::disconnect(c);
        return ended;
    }
    void abort()
    {
        aborted_ = true;
        loop_.quit();
    }

private:
    QEventLoop loop_;
    bool aborted_ = false;
};

// Connects the socket within the time-out: empty when connected, Aborted,
// or else why not.
inline std::string connectWithin(QTcpSocket& socket, SocketWait& wait, const std::string& host, uint16_t port,
    std::chrono::milliseconds timeout)
{
    socket.connectToHost(QString::fromStdString(host), port);
    const auto ended = wait.until(socket, [&socket] {
        return socket.state() == QAbstractSocket::ConnectedState || socket.state() == QAbstractSocket::UnconnectedState;
    }, timeout);
    if (ended == SocketWait::Ended::Aborted)
        return Aborted;
    if (socket.state() == QAbstractSocket::ConnectedState)
        return {};
    socket.abort();
    return ended == SocketWait::Ended::TimedOut ? "no answer within " + millisecondsText(timeout)
                                                : socket.errorString().toStdString();
}

} // namespace analyzer
