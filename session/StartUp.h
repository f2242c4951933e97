#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "InstrumentSession.h"

// The start-up of a link to the instrument, the same for the panel and for
// r6140k-ctl: open the device, let it settle, send the start-up messages and
// ask for its identification.
namespace session {

// The wait between opening the device and its first message, which the
// instrument's own panel has always kept: whatever the bridge and the
// instrument do as the line opens is over by then.
inline constexpr float SettleSeconds = 0.5f;

enum class StartUpStep { Opened, Settled };

struct StartUpHooks {
    // Waits the given seconds: the panel processes pending events all the
    // while, a program without windows may simply sleep.
    std::function<void(float seconds)> wait;
    // Asked right after opening and after the wait; false ends start-up
    // there (the run has ended, or the link is down).
    std::function<bool(StartUpStep)> proceed = [](StartUpStep) { return true; };
};

// The start-up messages, then the identification query, whose reply it
// returns: on a device just opened, and again whenever one is opened anew.
usblink::Reply identify(InstrumentSession& session);

// Opens the device with the given index, waits SettleSeconds and identifies
// it; no reply when a hook ended start-up first.
std::optional<usblink::Reply> startUp(InstrumentSession& session, int32_t index, const StartUpHooks& hooks);

} // namespace session
