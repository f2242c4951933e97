#include "QtAvahiPoll.h"

#include <QSocketNotifier>
#include <QTimer>
#include <avahi-common/timeval.h>
#include <chrono>

// Avahi declares these types and leaves them to each main loop.
struct AvahiWatch {
    int fd;
    AvahiWatchCallback callback;
    void* userdata;
    AvahiWatchEvent happened = AvahiWatchEvent(0);
    QSocketNotifier* readable = nullptr;
    QSocketNotifier* writable = nullptr;
};

struct AvahiTimeout {
    QTimer* timer;
};

namespace remote {

namespace {

// Avahi may free a watch or a time-out from inside its own callback: their
// Qt parts go once the event is handled, and are silent until then (a
// watch's descriptor may be closed already).
void discard(QSocketNotifier* notifier)
{
    notifier->setEnabled(false);
    notifier->disconnect();
    notifier->deleteLater();
}

void discard(QTimer* timer)
{
    timer->stop();
    timer->disconnect();
    timer->deleteLater();
}

void watchUpdate(AvahiWatch* watch, AvahiWatchEvent events)
{
    watch->readable->setEnabled((events & AVAHI_WATCH_IN) != 0);
    watch->writable->setEnabled((events & AVAHI_WATCH_OUT) != 0);
}

QSocketNotifier* notifier(AvahiWatch* watch, QSocketNotifier::Type type, AvahiWatchEvent event)
{
    auto* notifier = new QSocketNotifier(watch->fd, type);
    QObject::connect(notifier, &QSocketNotifier::activated, [watch, event] {
        watch->happened = event;
        watch->callback(watch, watch->fd, event, watch->userdata);
    });
    return notifier;
}

AvahiWatch* watchNew(const AvahiPoll*, int fd, AvahiWatchEvent events, AvahiWatchCallback callback, void* userdata)
{
    auto* watch = new AvahiWatch { fd, callback, userdata };
    watch->readable = notifier(watch, QSocketNotifier::Read, AVAHI_WATCH_IN);
    watch->writable = notifier(watch, QSocketNotifier::Write, AVAHI_WATCH_OUT);
    watchUpdate(watch, events);
    return watch;
}

AvahiWatchEvent watchGetEvents(AvahiWatch* watch)
{
    return watch->happened;
}

void watchFree(AvahiWatch* watch)
{
    discard(watch->readable);
    discard(watch->writable);
    delete watch;
}

// From now to Avahi's absolute time; none: never.
void timeoutUpdate(AvahiTimeout* timeout, const timeval* when)
{
    if (!when) {
        timeout->timer->stop();
        return;
    }
    const AvahiUsec late = avahi_age(when);
    timeout->timer->start(std::chrono::milliseconds(late >= 0 ? 0 : -late / 1000));
}

AvahiTimeout* timeoutNew(const AvahiPoll*, const timeval* when, AvahiTimeoutCallback callback, void* userdata)
{
    auto* timeout = new AvahiTimeout { new QTimer };
    timeout->timer->setSingleShot(true);
    QObject::connect(timeout->timer, &QTimer::timeout, [timeout, callback, userdata] { callback(timeout, userdata); });
    timeoutUpdate(timeout, when);
    return timeout;
}

void timeoutFree(AvahiTimeout* timeout)
{
    discard(timeout->timer);
    delete timeout;
}

} // namespace

QtAvahiPoll::QtAvahiPoll()
    : api_ { nullptr, watchNew, watchUpdate, watchGetEvents, watchFree, timeoutNew, timeoutUpdate, timeoutFree }
{
}

} // namespace remote
