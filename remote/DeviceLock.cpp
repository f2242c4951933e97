#include "DeviceLock.h"

#include <utility>

namespace remote {

void DeviceLock::enqueue(vxi11::LinkId link, std::chrono::milliseconds wait, bool takesLock, Then then)
{
    if (mayGoOn(link)) {
        if (takesLock)
            setHolder(link);
        then(Outcome::Granted);
        return;
    }
    auto& waiter = waiters_.emplace_back(Waiter { link, takesLock, std::move(then), std::unique_ptr<QTimer, StopLater>(new QTimer) });
    waiter.deadline->setSingleShot(true);
    waiter.deadline->setTimerType(Qt::PreciseTimer); // a coarse one may end a client's wait early
    connect(waiter.deadline.get(), &QTimer::timeout, this, [this, timer = waiter.deadline.get()] {
        tell(takeWaiters([timer](const Waiter& waiter) { return waiter.deadline.get() == timer; }), Outcome::TimedOut);
    });
    waiter.deadline->start(wait);
}

bool DeviceLock::release(vxi11::LinkId link)
{
    if (holder_ != link || link == NoLink)
        return false;
    holder_ = NoLink;
    grantWaiters();
    if (holder_ == NoLink)
        emit holderChanged();
    return true;
}

void DeviceLock::setHolder(vxi11::LinkId link)
{
    if (std::exchange(holder_, link) != link)
        emit holderChanged();
}

// In the order they came: the first that takes the lock holds the others
// back again, except those of its own link.
void DeviceLock::grantWaiters()
{
    tell(takeWaiters([this](const Waiter& waiter) {
        if (!mayGoOn(waiter.link))
            return false;
        if (waiter.takesLock)
            setHolder(waiter.link);
        return true;
    }),
        Outcome::Granted);
}

void DeviceLock::abortWaits(vxi11::LinkId link)
{
    tell(takeWaiters([link](const Waiter& waiter) { return waiter.link == link; }), Outcome::Aborted);
}

std::list<DeviceLock::Waiter> DeviceLock::takeWaiters(const std::function<bool(const Waiter&)>& taken)
{
    std::list<Waiter> taking;
    for (auto waiter = waiters_.begin(); waiter != waiters_.end();) {
        const auto next = std::next(waiter);
        if (taken(*waiter))
            taking.splice(taking.end(), waiters_, waiter);
        waiter = next;
    }
    return taking;
}

// Those ended are told once all are settled, as what a caller does when
// told may come back here.
void DeviceLock::tell(std::list<Waiter> ended, Outcome outcome)
{
    for (Waiter& waiter : ended)
        waiter.then(outcome);
}

void DeviceLock::forget(vxi11::LinkId link)
{
    takeWaiters([link](const Waiter& waiter) { return waiter.link == link; });
    release(link);
}

} // namespace remote

#include "moc_DeviceLock.cpp"
