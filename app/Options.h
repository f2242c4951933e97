#pragma once

#include <QStringList>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "BridgeSelection.h"

class QCoreApplication;

namespace app {

// What the command line chose. With no option the panel lists the USB
// serial ports of the operating system and talks to real hardware; its
// backend and lines are the bridge choice it shares with r6140k-ctl.
struct Options : BridgeChoice {
    bool simulate = false;
    // Report on the serial devices and the instrument, without any window.
    bool check = false;
    // Where the SCPI socket listens: an IP address, the loopback one unless
    // another is named, and a port. Nothing listens without it.
    struct ListenAddress {
        std::string host;
        uint16_t port = 0;
    };
    std::optional<ListenAddress> listen;
    // Where VXI-11 is served: an IP address, the loopback one unless another
    // is named. Not served without it.
    std::optional<std::string> vxi11Host;
    // Where the web pages are served: an IP address, the loopback one unless
    // another is named, and a port; without a port, 80 where the panel may
    // bind it, else 8080, else one the system picks. Not served without it.
    struct WebAddress {
        std::string host;
        std::optional<uint16_t> port;
    };
    std::optional<WebAddress> web;
    // Whether a browser that presents the run's token may change settings
    // from the start; the operator can allow or withdraw it at any time.
    bool webControl = false;
    // How often the reference lock is asked while the panel is idle; zero:
    // only with the read-backs.
    std::chrono::milliseconds lockWatch { 5000 };
};

// Parses the arguments; --help and --version print and end the process, and
// so does an unknown option or backend, with an error on stderr. Needs a
// QCoreApplication but no window system; Qt's own options are passed over.
Options parseOptions(const QStringList& arguments);

} // namespace app
