#include "InstrumentSession.h"

#include <utility>

namespace session {

namespace {

// Counts an exchange as running for the scope's life; exchanges nest.
class ExchangeMark {
public:
    explicit ExchangeMark(int& depth)
        : depth_(depth)
    {
        ++depth_;
    }
    ~ExchangeMark() { --depth_; }
    ExchangeMark(const ExchangeMark&) = delete;
    ExchangeMark& operator=(const ExchangeMark&) = delete;

private:
    int& depth_;
};

} // namespace

InstrumentSession::InstrumentSession(usblink::BridgeLibrary& library, usblink::FTDI_Driver::EventPump processEvents)
    : driver_(library, std::move(processEvents))
{
}

usblink::DeviceList InstrumentSession::listDevices()
{
    return driver_.EnumerateDevices();
}

void InstrumentSession::open(int32_t index)
{
    if (!closed_)
        handle_ = driver_.OpenDevice(index);
}

void InstrumentSession::close()
{
    if (std::exchange(closed_, true))
        return;
    driver_.CloseDevice(handle_);
}

void InstrumentSession::send(const std::string& message)
{
    if (closed_)
        return;
    // Reported before the write: a message sent by a handler that runs while
    // this one is written is written, and reported, after it.
    report(Direction::Sent, message);
    driver_.SendCommand(handle_, message);
}

std::string InstrumentSession::query(const std::string& message)
{
    std::string reply = usblink::FTDI_Driver::ReadError;
    exclusive([&] {
        if (closed_)
            return;
        // One query is outstanding at a time and the instrument sends nothing
        // unasked, so bytes already waiting when a query goes out are stale.
        driver_.PurgeInput(handle_);
        send(message);
        reply = driver_.ReadResponse(handle_);
        report(Direction::Received, reply);
    });
    return reply;
}

void InstrumentSession::exclusive(const Exchange& steps)
{
    {
        const ExchangeMark running(depth_);
        const ExchangeMark exclusive(exclusiveDepth_);
        steps();
    }
    runQueued();
}

void InstrumentSession::enqueue(Exchange exchange, std::string origin)
{
    queue_.push_back({ std::move(exchange), std::move(origin) });
    runQueued();
}

void InstrumentSession::enqueueAhead(Exchange exchange, std::string origin)
{
    ahead_.push_back({ std::move(exchange), std::move(origin) });
    runQueued();
}

// Runs queued exchanges one after another until both lines are empty, those
// queued ahead first; an exchange queued while one of them runs joins the
// end of its line.
void InstrumentSession::runQueued()
{
    if (busy() || draining_)
        return;
    draining_ = true;
    while (!ahead_.empty() || !queue_.empty()) {
        std::deque<Queued>& line = ahead_.empty() ? queue_ : ahead_;
        const Queued next = std::move(line.front());
        line.pop_front();
        const ExchangeMark running(depth_);
        origin_ = next.origin;
        next.exchange();
        origin_ = PanelOrigin;
    }
    draining_ = false;
}

void InstrumentSession::addLineObserver(LineObserver observer)
{
    observers_.push_back(std::move(observer));
}

void InstrumentSession::report(Direction direction, const std::string& line) const
{
    for (const LineObserver& observer : observers_)
        observer(direction, line, origin_);
}

} // namespace session
