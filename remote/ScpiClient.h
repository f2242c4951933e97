#pragma once

#include <QByteArray>
#include <QObject>
#include <chrono>
#include <deque>
#include <string>

#include "InstrumentSession.h"

namespace remote {

class ClientStream;
class DeviceLock;

// One connected client of the SCPI socket. Its lines are carried out one at
// a time, each as an exchange of its own queued on the session under the
// client's address; the next line joins the queue only when the last one is
// done, behind the other clients' exchanges, so that clients are served in
// turn. A client may send many lines without waiting (pipelining): they are
// answered in order, and while more than MaxWaitingBytes of them wait the
// client is not read, which holds it back. A client that ends its sending
// still gets the replies to what it sent, then the connection is closed. A
// client that has gone gets no replies, so its queries are no longer asked;
// its settings still are. Lines wait while a VXI-11 link holds the lock.
class ScpiClient : public QObject {
    Q_OBJECT
public:
    // More than this without a line end, and the client is disconnected.
    static constexpr qint64 MaxLineBytes = 64 * 1024;
    // Lines waiting to be carried out, beyond which the client is not read.
    static constexpr qint64 MaxWaitingBytes = 64 * 1024;
    // Replies the client has not read, beyond which it is told so and
    // disconnected.
    static constexpr qint64 MaxUnreadBytes = 1024 * 1024;

    // Takes over a connected socket's descriptor.
    ScpiClient(qintptr descriptor, session::InstrumentSession& session, QObject* parent = nullptr);

    // While a VXI-11 link holds this lock, the client's lines wait, in order,
    // and none joins the session's queue: none runs between the holder's.
    void holdBackWhile(const DeviceLock& lock);
    // Begins to take lines.
    void start();

    // Tells the client why it is not served, then closes; it is gone once
    // that has been sent.
    void refuse(const QByteArray& why);
    // Closes the connection of a client idle for that long whose slot
    // another client needs, telling it why.
    void evict(std::chrono::seconds idle);

    // The client's address and port, as "127.0.0.1:54321".
    const std::string& origin() const { return origin_; }
    // Bytes of whole lines received and not yet carried out.
    qint64 waitingBytes() const { return waitingBytes_; }

signals:
    // The client has sent something.
    void active();
    // The client no longer takes a place among those served: it has gone,
    // or it was served to its end. Lines it sent may still be carried out.
    void released();

private:
    void take(const QByteArray& bytes);
    void queueNextLine();
    void carryOut(const std::string& message);
    void answer(const std::string& reply);
    void drop(const QByteArray& notice = {});
    void noteInputEnded();
    void noteGone();
    void release();
    void finishWhenDone();

    ClientStream* stream_;
    session::InstrumentSession& session_;
    const DeviceLock* lock_ = nullptr;
    qintptr descriptor_;
    std::string origin_;
    QByteArray partial_; // a line still without its end
    std::deque<std::string> waiting_; // whole lines not yet carried out
    qint64 waitingBytes_ = 0;
    bool lineQueued_ = false;
    bool inputEnded_ = false;
    bool gone_ = false;
    bool released_ = false;
};

} // namespace remote
