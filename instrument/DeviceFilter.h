#pragma once

#include <string_view>

namespace instrument {

// Whether a device entry (a bridge's description and serial number) is the
// instrument's: its bridge reports "R6140K" or "6140-IQ" in one of them.
inline bool isInstrumentEntry(std::string_view entry)
{
    return entry.find("6140-IQ") != std::string_view::npos || entry.find("R6140K") != std::string_view::npos;
}

} // namespace instrument
