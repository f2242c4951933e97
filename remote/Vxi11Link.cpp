#include "Vxi11Link.h"

#include <QPointer>

#include "ClientWait.h"
#include "ReplyReading.h"

namespace remote {

namespace {

using vxi11::ErrorCode;

// The message without a LF and a CR before it, as a socket client's line.
std::string withoutTrailingLineEnd(std::string message)
{
    if (message.ends_with('\n'))
        message.pop_back();
    if (message.ends_with('\r'))
        message.pop_back();
    return message;
}

ErrorCode failureOf(const usblink::Reply& reply)
{
    switch (reply.outcome) {
    case usblink::Reply::Outcome::Answered:
        return ErrorCode::None;
    case usblink::Reply::Outcome::TimedOut:
        return ErrorCode::IoTimeout;
    case usblink::Reply::Outcome::Failed:
        break;
    }
    return ErrorCode::IoError;
}

} // namespace

Vxi11Link::Vxi11Link(vxi11::LinkId id, session::InstrumentSession& session, std::string origin, QObject* parent)
    : QObject(parent)
    , id_(id)
    , session_(session)
    , origin_(std::move(origin))
{
    outputWait_.setSingleShot(true);
    outputWait_.setTimerType(Qt::PreciseTimer); // a coarse one may end a client's wait early
    connect(&outputWait_, &QTimer::timeout, this, [this] { endWaitingRead(ErrorCode::IoTimeout); });
}

void Vxi11Link::write(const vxi11::WriteParms& write, Answer answer)
{
    const bool ends = (write.flags & vxi11::flag::End) != 0;
    if (!overflowed_)
        message_.append(write.data.begin(), write.data.end());
    if (message_.size() > MaxMessageBytes) {
        message_.clear();
        overflowed_ = true;
    }
    if (overflowed_) {
        overflowed_ = !ends;
        answer(vxi11::errorResult(vxi11::Procedure::DeviceWrite, ErrorCode::Parameter));
        return;
    }
    const auto size = static_cast<uint32_t>(write.data.size());
    if (!ends) {
        answer(vxi11::WriteResp { ErrorCode::None, size });
        return;
    }
    dropOutput(); // a new message makes unread output stale
    carryOut(withoutTrailingLineEnd(std::exchange(message_, {})), size, std::move(answer));
}

// Answered once the message has gone out on the line, and for a query once
// its reply is kept for the link's reads: a message the line could not take
// is an I/O error, never done. A message the instrument cannot take as it
// stands is not sent, and is reported as refused.
void Vxi11Link::carryOut(std::string message, uint32_t size, Answer answer)
{
    const bool refused = !instrument::messageProblem(message).empty();
    if (!refused && session_.linkDown())
        return answer(vxi11::WriteResp { ErrorCode::IoError, 0 });
    enqueue(std::move(message), refused, [answer = std::move(answer), size](ErrorCode error) {
        answer(vxi11::WriteResp { error, error == ErrorCode::None ? size : 0 });
    });
}

// An exchange of its own, and the link's only one in the queue. A client
// that has gone has its settings sent still, but its queries are no longer
// asked.
void Vxi11Link::enqueue(std::string message, bool refused, std::function<void(ErrorCode)> sent)
{
    exchangeQueued_ = true;
    session_.enqueue(
        [session = &session_, link = QPointer(this), message = std::move(message), refused, sent = std::move(sent)] {
            ErrorCode error = ErrorCode::IoError;
            // The session refuses, and reports, a message it cannot send.
            if (refused) {
                session->send(message);
                error = ErrorCode::Parameter;
            } else if (!instrument::expectsReply(message)) {
                error = session->send(message) ? ErrorCode::None : ErrorCode::IoError;
            } else if (link) {
                error = link->keep(session->ask(message));
            }
            if (link)
                link->exchangeDone();
            sent(error);
        },
        origin_);
}

// What the query's write is answered: only a failed exchange may not have
// sent it; a time-out is the read's to report.
ErrorCode Vxi11Link::keep(const usblink::Reply& reply)
{
    failure_ = failureOf(reply);
    if (failure_ == ErrorCode::None)
        output_ = reply.text + '\n';
    return failure_ == ErrorCode::IoError ? ErrorCode::IoError : ErrorCode::None;
}

// The answer to a waiting read lets the client's next call in, which may
// end the link.
void Vxi11Link::exchangeDone()
{
    exchangeQueued_ = false;
    const QPointer<Vxi11Link> alive(this);
    if (waitingRead_ && hasOutput()) {
        outputWait_.stop();
        const WaitingRead waiting = *std::exchange(waitingRead_, std::nullopt);
        read(waiting.parms, waiting.answer);
    }
    if (!alive)
        return;
    if (const std::function<void()> step = std::exchange(afterExchange_, {}))
        step();
}

void Vxi11Link::whenIdle(std::function<void()> step)
{
    if (exchangeQueued_)
        afterExchange_ = std::move(step);
    else
        step();
}

// Without output, the read waits for a query's reply, or else for nothing
// until its I/O time-out.
void Vxi11Link::read(const vxi11::ReadParms& read, Answer answer)
{
    if (failure_ != ErrorCode::None) {
        answer(vxi11::errorResult(vxi11::Procedure::DeviceRead, std::exchange(failure_, ErrorCode::None)));
    } else if (!output_.empty()) {
        answer(vxi11::takeOutput(output_, read));
    } else {
        waitingRead_ = WaitingRead { read, std::move(answer) };
        outputWait_.start(clientWait(read.ioTimeout));
    }
}

void Vxi11Link::clear()
{
    message_.clear();
    overflowed_ = false;
    dropOutput();
}

void Vxi11Link::dropOutput()
{
    output_.clear();
    failure_ = ErrorCode::None;
}

void Vxi11Link::abort()
{
    endWaitingRead(ErrorCode::Abort);
}

void Vxi11Link::endWaitingRead(ErrorCode error)
{
    outputWait_.stop();
    if (const std::optional<WaitingRead> waiting = std::exchange(waitingRead_, std::nullopt))
        waiting->answer(vxi11::errorResult(vxi11::Procedure::DeviceRead, error));
}

} // namespace remote

#include "moc_Vxi11Link.cpp"
