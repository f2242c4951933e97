#pragma once

#include <QFileInfo>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "BridgeLibrary.h"

// Running panels that serve their instrument on the SCPI socket publish
// themselves in a small file each, under the user's runtime folder
// ($XDG_RUNTIME_DIR/r6140k-panel/<pid>): where they listen and which line
// they hold. A program that wants a line a panel holds goes through that
// panel's socket instead, so the panel's controls follow. A file whose
// process has gone (a panel that was killed, its pid perhaps taken since by
// another process) is stale: it is ignored and removed. Only the user's own
// records count: the folder must be the user's and closed to others (0700),
// each file the user's and closed to others (0600), its process the user's;
// another user who could write there could otherwise take the user's
// commands. Without $XDG_RUNTIME_DIR nothing is published or found.
namespace app {

struct PublishedPanel {
    long pid = 0;
    unsigned long long started = 0; // when its process started, as startOfOwnProcess gives it
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

// The live panel that holds the line, if one has published itself. Records
// that are not to be trusted are ignored, each with a warning.
std::optional<PublishedPanel> panelHolding(
    const std::string& line, const std::function<void(const std::string&)>& warn);

// The line behind a listed device, the same whichever program lists it and
// however the line was named: a network address as given, a device node by
// its canonical path (so that /dev/serial/by-id names meet /dev/ttyUSB0),
// a USB bridge by the node of its serial port.
std::string lineOfListed(usblink::BridgeLibrary& bridge, int32_t index);

// Whether the process is running; where the system cannot tell, it is taken
// as running.
bool processRunning(long pid);
// When the process started, as a number that differs for a later process
// with the same pid; 0 when it is not running or is another user's.
unsigned long long startOfOwnProcess(long pid);
bool ownedByThisUser(const QFileInfo& info);

} // namespace app
