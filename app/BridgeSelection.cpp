#include "BridgeSelection.h"

#include "D2xxBridge.h"
#include "SerialBridge.h"
#include "SimulatedBridge.h"

namespace app {

std::unique_ptr<usblink::BridgeLibrary> selectBridge(
    const Options& options, std::string* error, const std::string& d2xxLibrary)
{
    if (options.simulate)
        return std::make_unique<sim::SimulatedBridge>();
    if (options.backend == Options::Backend::D2xx)
        return usblink::D2xxBridge::load(d2xxLibrary, error);
    return std::make_unique<usblink::SerialBridge>(options.ports);
}

} // namespace app
