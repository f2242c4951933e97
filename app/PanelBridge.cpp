#include "PanelBridge.h"

#include "CompositeBridge.h"
#include "SimulatedBridge.h"

namespace app {

// The simulator stands alone, unless ports are named: then it is listed
// first and the ports after it.
std::unique_ptr<usblink::BridgeLibrary> panelBridge(
    const Options& options, std::string* error, const std::string& d2xxLibrary, const sim::Instrument** simulated)
{
    if (simulated)
        *simulated = nullptr;
    if (!options.simulate)
        return selectBridge(options, error, d2xxLibrary);
    auto simulator = std::make_unique<sim::SimulatedBridge>();
    if (simulated)
        *simulated = &simulator->instrument();
    if (options.ports.empty())
        return simulator;
    auto named = selectBridge(options, error, d2xxLibrary);
    if (!named)
        return nullptr;
    std::vector<std::unique_ptr<usblink::BridgeLibrary>> backends;
    backends.push_back(std::move(simulator));
    backends.push_back(std::move(named));
    return std::make_unique<usblink::CompositeBridge>(std::move(backends));
}

} // namespace app
