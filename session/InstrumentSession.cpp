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
        steps();
    }
    runQueued();
}

void InstrumentSession::enqueue(Exchange exchange, std::string origin)
{
    queue_.push_back({ std::move(exchange), std::move(origin) });
    runQueued();
}

// Runs queued exchanges one after another until the queue is empty; an
// exchange queued while one of them runs joins the end of the line.
void InstrumentSession::runQueued()
{
    if (busy() || draining_)
        return;
    draining_ = true;
    while (!queue_.empty()) {
        const Queued next = std::move(queue_.front());
        queue_.pop_front();
        const ExchangeMark running(depth_);
        origin_ = next.origin;
        next.exchange();
        origin_ = PanelOrigin;
    }
    draining_ = false;
}

InstrumentSession::ObserverId InstrumentSession::addLineObserver(LineObserver observer)
{
    observers_.emplace_back(nextObserverId_, std::move(observer));
    return nextObserverId_++;
}

void InstrumentSession::removeLineObserver(ObserverId id)
{
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void InstrumentSession::report(Direction direction, const std::string& line) const
{
    for (const auto& [id, observer] : observers_)
        observer(direction, line, origin_);
}

} // namespace session
