#pragma once

#include <memory>
#include <string>

#include "Options.h"
#include "BridgeLibrary.h"
#include "D2xxBridge.h"

namespace app {

// The bridge library the options ask for: the simulated instrument takes
// precedence over any backend. Returns nullptr with a reason in error when
// the backend cannot be had (the D2XX library, found by its usual name
// unless another file is given, is missing).
std::unique_ptr<usblink::BridgeLibrary> selectBridge(const Options& options, std::string* error,
    const std::string& d2xxLibrary = usblink::D2xxBridge::defaultLibraryName());

} // namespace app
