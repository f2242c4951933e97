#pragma once

#include <chrono>
#include <functional>

#include "TimerModule.h"
#include "InstrumentSession.h"

namespace panel {

// What the windows need from outside: the session with the instrument, the
// hook that lets pending events be processed (the same one the session's
// driver uses), the time-of-day clock, and the end of the program, which
// ends the process where it runs for real and is observed where it is tested,
// and how often a link that is down is tried again (zero: only when asked),
// and how often the reference lock is asked while idle (zero: never).
struct PanelEnvironment {
    session::InstrumentSession* session = nullptr;
    TimerModule::EventPump processEvents;
    TimerModule::Clock clock = TimerModule::SecondsSinceMidnight;
    std::function<void(int status)> endProgram;
    std::chrono::milliseconds reconnectInterval { 1000 };
    std::chrono::milliseconds referenceLockInterval { 5000 };
};

} // namespace panel
