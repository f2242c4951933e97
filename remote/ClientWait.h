#pragma once

#include <chrono>
#include <algorithm>
#include <climits>
#include <cstdint>

namespace remote {

// How long a VXI-11 client said it would wait, in milliseconds (up to 49
// days), as a timer can count it (up to 24 days): a longer wait is as long
// as a timer goes.
inline std::chrono::milliseconds clientWait(uint32_t milliseconds)
{
    return std::chrono::milliseconds(std::min<uint32_t>(milliseconds, INT_MAX));
}

} // namespace remote
