#pragma once

#include <string>
#include <vector>

#include "InstrumentLine.h"

// The instrument's error queue, asked until it says there is no error. The
// errors belong to whoever caused them: a tool asks the queue empty before
// it sends, so that what it reports after is what its own messages caused.
namespace session {

struct QueuedErrors {
    std::vector<std::string> errors; // each reply, in the order the instrument gave them
    std::string failure; // READ TIMEOUT or READ ERROR when a reply did not come; empty when it did

    bool clean() const { return errors.empty() && failure.empty(); }
};

// An instrument that never says "no error" is asked this often at most.
inline constexpr std::size_t MaxErrorsAsked = 64;

QueuedErrors drainErrors(InstrumentLine& line);

// Whether an error queue's reply says there is no error ("0,..." or "+0,...").
bool reportsNoError(const usblink::Reply& reply);

} // namespace session
