#pragma once

#include <string>

#include "FTDI_Driver.h"

namespace session {

// Where setup transfers reach the instrument: its own session, or a running
// panel's SCPI socket. A message is one line; a query's reply comes back
// with how it ended, READ TIMEOUT or READ ERROR in place of a line.
class InstrumentLine {
public:
    virtual ~InstrumentLine() = default;
    // True when the message went out; false when it could not, and the line
    // is no longer to be trusted with the next.
    virtual bool send(const std::string& message) = 0;
    virtual usblink::Reply ask(const std::string& query) = 0;
};

} // namespace session
