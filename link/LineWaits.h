#pragma once

#include <QDeadlineTimer>
#include <cstdint>

namespace usblink {

// Until FT_SetTimeouts says otherwise, and for a write time-out of 0 (no
// limit in D2XX), a backend's waits are bounded so that the GUI thread never
// blocks for good.
inline constexpr uint32_t DefaultWaitMs = 5000;

// What is left of a wait, as Qt's waitFor... calls and poll() take it.
inline int remainingMs(const QDeadlineTimer& deadline)
{
    return static_cast<int>(deadline.remainingTime());
}

} // namespace usblink
