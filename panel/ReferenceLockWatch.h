#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <functional>

#include "InstrumentSession.h"

namespace panel {

// Asks the instrument for its reference lock while the panel is idle, once
// an interval after the lock was last read, so that a lost lock shows
// without waiting for the next read-back. The query goes through the
// session's queue under its own origin, the panel's watch: the operator's
// changes are not held up by it, as they are by the panel's own exchanges,
// but go out right after it. Between its queries it costs nothing: one
// timer, due at the next query. Time is the session's clock, so that tests
// move it; an interval of zero turns the watch off.
class ReferenceLockWatch : public QObject {
    Q_OBJECT
public:
    static constexpr const char* Origin = "panel, lock watch";
    static constexpr std::chrono::milliseconds DefaultInterval { 5000 };
    static constexpr std::chrono::milliseconds BusyRetry { 1000 };

    // idle: whether the panel may ask now; show: what to do with the reply.
    ReferenceLockWatch(session::InstrumentSession& session, std::chrono::milliseconds interval,
        std::function<bool()> idle, std::function<void(const usblink::Reply&)> show, QObject* parent);

    std::chrono::milliseconds interval() const { return interval_; }
    // The lock was read just now (by a read-back): the next query is due an
    // interval later.
    void noteRead();
    // Asks when a query is due and the panel is idle; otherwise waits for
    // the time it will be due.
    void tick();

private:
    void waitUntilDue();

    session::InstrumentSession& session_;
    std::chrono::milliseconds interval_;
    std::function<bool()> idle_;
    std::function<void(const usblink::Reply&)> show_;
    std::chrono::milliseconds lastRead_ {};
    QTimer timer_;
};

} // namespace panel
