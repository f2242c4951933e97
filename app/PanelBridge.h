#pragma once

#include <memory>
#include <string>

#include "BridgeSelection.h"
#include "Options.h"

namespace app {

// The bridge library the panel's options ask for: the simulated instrument
// takes precedence over any backend; otherwise as selectBridge chooses.
std::unique_ptr<usblink::BridgeLibrary> panelBridge(const Options& options, std::string* error,
    const std::string& d2xxLibrary = usblink::D2xxBridge::defaultLibraryName());

} // namespace app
