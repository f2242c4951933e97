#pragma once

#include <avahi-common/watch.h>

namespace remote {

// Avahi's main-loop abstraction on Qt's event loop: a watch is a pair of
// socket notifiers, a time-out a single-shot timer. Debian has no Qt 6
// binding of avahi, and avahi's own loops would need a thread.
class QtAvahiPoll {
public:
    QtAvahiPoll();
    const AvahiPoll* api() const { return &api_; }

private:
    AvahiPoll api_;
};

} // namespace remote
