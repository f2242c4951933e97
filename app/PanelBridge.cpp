#include "PanelBridge.h"

#include "SimulatedBridge.h"

namespace app {

std::unique_ptr<usblink::BridgeLibrary> panelBridge(
    const Options& options, std::string* error, const std::string& d2xxLibrary)
{
    if (options.simulate)
        return std::make_unique<sim::SimulatedBridge>();
    return selectBridge(options, error, d2xxLibrary);
}

} // namespace app
