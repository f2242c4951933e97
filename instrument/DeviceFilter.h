#pragma once

#include <string_view>

namespace instrument {

// Whether a device entry (a bridge's description and serial number) is the
// instrument's: its bridge reports "R6140K" or "6140-IQ" in one of them.
inline bool isInstrumentEntry(std::string_view entry)
{
    return entry.find("6140-IQ") != std::string_view::npos || entry.find("R6140K") != std::string_view::npos;
}

// Whether a device entry is the instrument's on the bridge with the given
// USB serial number, which ends its entry.
inline bool isInstrumentWithSerialNumber(std::string_view entry, std::string_view serial)
{
    return entry.size() > serial.size() && entry.ends_with(serial) && entry[entry.size() - serial.size() - 1] == ' '
        && isInstrumentEntry(entry);
}

} // namespace instrument
