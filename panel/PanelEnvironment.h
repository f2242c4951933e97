#pragma once

#include <functional>

#include "link/FTDI_Driver.h"
#include "panel/TimerModule.h"

namespace panel {

// What the windows need from outside: the link to the instrument, the hook
// that lets pending events be processed (the same one the driver uses),
// the time-of-day clock, and the end of the program, which does not return.
struct PanelEnvironment {
    usblink::FTDI_Driver* driver = nullptr;
    TimerModule::EventPump processEvents;
    TimerModule::Clock clock = TimerModule::SecondsSinceMidnight;
    std::function<void(int status)> endProgram;
};

} // namespace panel
