#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "BridgeLibrary.h"

// Running panels that serve their instrument on the SCPI socket publish
// themselves in a small file each, under the user's runtime folder
// ($XDG_RUNTIME_DIR/r6140k-panel/<pid>): where they listen and which line
// they hold. A program that wants a line a panel holds goes through that
// panel's socket instead, so the panel's controls follow. A file whose
// process has gone (a panel that was killed) is stale: it is ignored and
// removed. Without $XDG_RUNTIME_DIR nothing is published or found.
namespace app {

struct PublishedPanel {
    long pid = 0;
    std::string host; // where its SCPI socket listens
    uint16_t port = 0;
    std::string line; // the line it holds, as lineOfListed gives it
    std::string entry; // the device entry it shows, for messages
};

// Publishes this process as the given panel (its pid is this process's).
// False when the file cannot be written; the panel runs on without it.
bool publishPanel(const PublishedPanel& panel);
// Removes this process's file, if it published one; safe to call at any end.
void withdrawPanel();

// The live panel that holds the line, if one has published itself.
std::optional<PublishedPanel> panelHolding(const std::string& line);

// The line behind a listed device, the same whichever program lists it and
// however the line was named: a network address as given, a device node by
// its canonical path (so that /dev/serial/by-id names meet /dev/ttyUSB0),
// a USB bridge by the node of its serial port.
std::string lineOfListed(usblink::BridgeLibrary& bridge, int32_t index);

// Whether the process is running; where the system cannot tell, it is taken
// as running.
bool processRunning(long pid);

} // namespace app
