#include "ScpiClient.h"

#include <QPointer>

#include "ClientStream.h"
#include "DeviceLock.h"
#include "KeepAlive.h"
#include "MessageSyntax.h"
#include "QuickAck.h"

namespace remote {

ScpiClient::ScpiClient(qintptr descriptor, session::InstrumentSession& session, QObject* parent)
    : QObject(parent)
    , stream_(new ClientStream(descriptor, this))
    , session_(session)
    , descriptor_(descriptor)
    , origin_(stream_->peer())
{
    probeWhenIdle(descriptor);
}

void ScpiClient::holdBackWhile(const DeviceLock& lock)
{
    lock_ = &lock;
    connect(&lock, &DeviceLock::holderChanged, this, &ScpiClient::queueNextLine);
}

void ScpiClient::start()
{
    connect(stream_, &ClientStream::received, this, &ScpiClient::take);
    connect(stream_, &ClientStream::inputEnded, this, &ScpiClient::noteInputEnded);
    connect(stream_, &ClientStream::failed, this, &ScpiClient::noteGone);
    connect(stream_, &ClientStream::closed, this, [this] {
        release();
        deleteLater();
    });
}

void ScpiClient::refuse(const QByteArray& why)
{
    connect(stream_, &ClientStream::closed, this, &QObject::deleteLater);
    stream_->write(why);
    stream_->closeWhenSent();
}

void ScpiClient::evict(std::chrono::seconds idle)
{
    drop(QString("Closed: idle for %1 s while every client slot was taken and another client asked for one.\n")
             .arg(idle.count())
             .toLatin1());
}

// Each line ends in LF, a CR before it dropped; a line is kept as the bytes
// the client sent, for the session to refuse what the instrument cannot take.
void ScpiClient::take(const QByteArray& bytes)
{
    emit active();
    partial_ += bytes;
    qsizetype start = 0;
    for (qsizetype end; (end = partial_.indexOf('\n', start)) >= 0; start = end + 1) {
        QByteArray line = partial_.mid(start, end - start);
        if (line.endsWith('\r'))
            line.chop(1);
        waitingBytes_ += line.size();
        waiting_.push_back(line.toStdString());
    }
    partial_.remove(0, start);
    if (partial_.size() >= MaxLineBytes) {
        drop();
        return;
    }
    acknowledgeAtOnce(descriptor_);
    stream_->pauseReading(waitingBytes_ > MaxWaitingBytes);
    queueNextLine();
}

void ScpiClient::queueNextLine()
{
    if (lineQueued_)
        return;
    if (waiting_.empty()) {
        finishWhenDone();
        return;
    }
    if (lock_ && lock_->isHeld())
        return; // until the lock's holder changes
    lineQueued_ = true;
    std::string message = std::move(waiting_.front());
    waiting_.pop_front();
    waitingBytes_ -= static_cast<qint64>(message.size());
    stream_->pauseReading(waitingBytes_ > MaxWaitingBytes);
    session_.enqueue(
        [client = QPointer(this), message] {
            if (client)
                client->carryOut(message);
        },
        origin_);
}

void ScpiClient::carryOut(const std::string& message)
{
    if (!instrument::expectsReply(message))
        session_.send(message);
    else if (!gone_)
        answer(session_.query(message));
    lineQueued_ = false;
    queueNextLine();
}

void ScpiClient::answer(const std::string& reply)
{
    stream_->write(QByteArray::fromStdString(reply + '\n'));
    if (stream_->unsent() > MaxUnreadBytes)
        drop(QString("Disconnected: more than %1 bytes of replies were left unread.\n").arg(MaxUnreadBytes).toLatin1());
}

// Ends the connection; lines waiting are not carried out. The client is told
// why where the system takes the notice at once: one that does not read
// must not keep a place waiting for it.
void ScpiClient::drop(const QByteArray& notice)
{
    waiting_.clear();
    waitingBytes_ = 0;
    gone_ = true;
    stream_->dropUnsent();
    stream_->write(notice);
    if (stream_->unsent() > 0)
        stream_->abort();
    else
        stream_->closeWhenSent();
}

void ScpiClient::noteInputEnded()
{
    inputEnded_ = true;
    finishWhenDone();
}

void ScpiClient::noteGone()
{
    gone_ = true;
    release();
    finishWhenDone();
}

void ScpiClient::release()
{
    if (!std::exchange(released_, true))
        emit released();
}

// Served to its end: everything it sent was carried out, and it has sent
// all it will or has gone.
void ScpiClient::finishWhenDone()
{
    if ((inputEnded_ || gone_) && waiting_.empty() && !lineQueued_)
        stream_->closeWhenSent();
}

} // namespace remote

#include "moc_ScpiClient.cpp"
