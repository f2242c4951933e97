#pragma once

#include <string>

#include "DeviceCalls.h"

namespace vxi11 {

// What device_read takes from the output waiting for a link, and removes
// from it: at most requestSize bytes, up to and with the termination
// character when the read asks for one, with the reasons it ended: End when
// the output is used up, TermChar when it ends at that character,
// RequestCount when it took all that was asked for.
ReadResp takeOutput(std::string& output, const ReadParms& read);

} // namespace vxi11
