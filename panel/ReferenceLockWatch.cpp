#include "ReferenceLockWatch.h"

#include <algorithm>

#include "CommandSet.h"

namespace panel {

ReferenceLockWatch::ReferenceLockWatch(session::InstrumentSession& session, std::chrono::milliseconds interval,
    std::function<bool()> idle, std::function<void(const usblink::Reply&)> show, QObject* parent)
    : QObject(parent)
    , session_(session)
    , interval_(interval)
    , idle_(std::move(idle))
    , show_(std::move(show))
    , lastRead_(session.now())
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &ReferenceLockWatch::tick);
}

void ReferenceLockWatch::noteRead()
{
    lastRead_ = session_.now();
    waitUntilDue();
}

void ReferenceLockWatch::tick()
{
    if (interval_.count() <= 0)
        return;
    if (session_.now() - lastRead_ < interval_) {
        waitUntilDue();
        return;
    }
    // A panel busy when the query is due is asked again a little later,
    // not at every turn of the event loop.
    if (!idle_()) {
        timer_.start(std::min(interval_, BusyRetry));
        return;
    }
    lastRead_ = session_.now();
    session_.enqueue([this] { show_(session_.ask(instrument::commands::ReferenceLockQuery)); }, Origin);
    waitUntilDue();
}

void ReferenceLockWatch::waitUntilDue()
{
    if (interval_.count() <= 0)
        return;
    const auto left = interval_ - (session_.now() - lastRead_);
    timer_.start(std::clamp(left, std::chrono::milliseconds(1), interval_));
}

} // namespace panel

#include "moc_ReferenceLockWatch.cpp"
