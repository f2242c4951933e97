#pragma once

#include <memory>
#include <string>

#include "BridgeSelection.h"
#include "Instrument.h"
#include "Options.h"

namespace app {

// The bridge library the panel's options ask for: the simulated instrument
// takes precedence over any backend; otherwise as selectBridge chooses.
// When simulated is given, it is set to the simulated instrument the bridge
// serves (null when it serves none), which a simulated analyzer may watch.
std::unique_ptr<usblink::BridgeLibrary> panelBridge(const Options& options, std::string* error,
    const std::string& d2xxLibrary = usblink::D2xxBridge::defaultLibraryName(),
    const sim::Instrument** simulated = nullptr);

} // namespace app
