#pragma once

#include <functional>

// The timed wait of start-up. It keeps the thread busy, processing pending
// events in every pass, until the time-of-day clock has reached the end of
// the wait; the clock restarts at 0 at midnight, which the wait allows for.
namespace TimerModule {

using Clock = std::function<double()>; // seconds since midnight
using EventPump = std::function<void()>;

inline constexpr double SecondsPerDay = 86400.0;

double SecondsSinceMidnight();

void Delay(float seconds, const Clock& clock, const EventPump& processEvents);

} // namespace TimerModule
