#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>
#include <list>
#include <memory>

#include "DeviceCalls.h"

namespace remote {

// The VXI-11 lock on the instrument: one link at a time may hold it, and
// the other links' calls wait until it is released, each for as long as it
// said it would wait. The SCPI socket's clients follow it too (their lines
// wait while it is held, see ScpiClient), so that no other client's line
// runs between the holder's; the operator's panel is never held back by it.
class DeviceLock : public QObject {
    Q_OBJECT
public:
    enum class Outcome { Granted, TimedOut, Aborted };
    using Then = std::function<void(Outcome)>;

    // Calls then(Granted) once no other link holds the lock, at once when
    // none does; then(TimedOut) when that has not come about within wait.
    void whenFree(vxi11::LinkId link, std::chrono::milliseconds wait, Then then) { enqueue(link, wait, false, std::move(then)); }
    // The same, and the lock is the link's when granted.
    void acquire(vxi11::LinkId link, std::chrono::milliseconds wait, Then then) { enqueue(link, wait, true, std::move(then)); }
    // False when the link does not hold the lock.
    bool release(vxi11::LinkId link);
    // Ends the link's waits with Aborted.
    void abortWaits(vxi11::LinkId link);
    // A link that is gone: its lock is released, its waits dropped unanswered.
    void forget(vxi11::LinkId link);

    bool isHeld() const { return holder_ != NoLink; }
    vxi11::LinkId holder() const { return holder_; }

signals:
    // The lock was taken or released.
    void holderChanged();

private:
    static constexpr vxi11::LinkId NoLink = 0;
    // A waiter's timer may end while it signals its own deadline.
    struct StopLater {
        void operator()(QTimer* timer) const
        {
            timer->stop();
            timer->deleteLater();
        }
    };
    struct Waiter {
        vxi11::LinkId link;
        bool takesLock;
        Then then;
        std::unique_ptr<QTimer, StopLater> deadline;
    };

    void enqueue(vxi11::LinkId link, std::chrono::milliseconds wait, bool takesLock, Then then);
    void setHolder(vxi11::LinkId link);
    bool mayGoOn(vxi11::LinkId link) const { return holder_ == NoLink || holder_ == link; }
    void grantWaiters();
    // Takes the waiters out for which taken holds, in their order.
    std::list<Waiter> takeWaiters(const std::function<bool(const Waiter&)>& taken);
    static void tell(std::list<Waiter> ended, Outcome outcome);

    vxi11::LinkId holder_ = NoLink;
    std::list<Waiter> waiters_;
};

} // namespace remote
