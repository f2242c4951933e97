#pragma once

#include <QtGlobal>

namespace remote {

// How long a client that vanished without closing (unplugged, powered off,
// its network gone) can hold its connection, and with it a lock and a
// client slot: the system probes an idle connection after this long, and
// gives it up when a few probes go unanswered.
inline constexpr int KeepAliveIdleSeconds = 30;
inline constexpr int KeepAliveProbeSeconds = 5;
inline constexpr int KeepAliveProbes = 4;

// Asks the system to probe the idle connection as above. Where the system
// has no such request it does nothing.
void probeWhenIdle(qintptr socketDescriptor);

} // namespace remote
