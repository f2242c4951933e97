#pragma once

#include <QByteArray>
#include <QObject>
#include <string>

#include "InstrumentSession.h"

class QTcpSocket;

namespace remote {

// One connected client of the SCPI socket. Its lines are carried out one at
// a time, each as an exchange of its own queued on the session under the
// client's address; the next line joins the queue only when the last one is
// done, behind the other clients' exchanges, so that clients are served in
// turn. Lines sent before the client hung up are still carried out, but a
// client that has gone gets no replies, so its queries are no longer asked.
class ScpiClient : public QObject {
    Q_OBJECT
public:
    // More than this without a line end, and the client is disconnected.
    static constexpr qint64 MaxLineBytes = 64 * 1024;

    // Takes the socket over.
    ScpiClient(QTcpSocket* socket, session::InstrumentSession& session, QObject* parent = nullptr);

    // Begins to take lines; finished() may follow at once.
    void start();

    // The client's address and port, as "127.0.0.1:54321".
    const std::string& origin() const { return origin_; }

signals:
    // The client hung up, and every line it had sent has been carried out.
    void finished();

private:
    void takeNextLine();
    void carryOut(const QByteArray& line);
    void answer(const std::string& reply);
    void hungUp();

    QTcpSocket* socket_;
    session::InstrumentSession& session_;
    std::string origin_;
    bool lineQueued_ = false;
    bool connected_ = true;
};

} // namespace remote
