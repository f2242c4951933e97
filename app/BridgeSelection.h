#pragma once

#include <memory>
#include <string>
#include <vector>

#include "BridgeLibrary.h"
#include "D2xxBridge.h"

namespace app {

// Which bridge library lists the devices, and the lines it lists besides the
// system's own: device paths and network addresses (tcp://HOST:PORT,
// rfc2217://HOST:PORT). The panel's and r6140k-ctl's options both choose it.
struct BridgeChoice {
    enum class Backend { Serial, D2xx };
    Backend backend = Backend::Serial;
    std::vector<std::string> ports;
};

// The bridge library chosen. Returns nullptr with a reason in error when the
// backend cannot be had (the D2XX library, found by its usual name unless
// another file is given, is missing).
std::unique_ptr<usblink::BridgeLibrary> selectBridge(const BridgeChoice& choice, std::string* error,
    const std::string& d2xxLibrary = usblink::D2xxBridge::defaultLibraryName());

} // namespace app
