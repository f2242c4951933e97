#include "BridgeSelection.h"

#include "CompositeBridge.h"
#include "D2xxBridge.h"
#include "NetworkBridge.h"
#include "SerialBridge.h"
#include "SimulatedBridge.h"

namespace app {
namespace {

std::unique_ptr<usblink::BridgeLibrary> localBridge(
    const Options& options, const std::vector<std::string>& paths, std::string* error, const std::string& d2xxLibrary)
{
    if (options.backend == Options::Backend::D2xx)
        return usblink::D2xxBridge::load(d2xxLibrary, error);
    return std::make_unique<usblink::SerialBridge>(paths);
}

} // namespace

// Network addresses go to a network backend listed after the local one;
// without any, the local backend stands alone, as it always did. The
// simulator stands alone too, unless ports are named: then it is listed
// first and the ports after it, on the serial backend.
std::unique_ptr<usblink::BridgeLibrary> selectBridge(
    const Options& options, std::string* error, const std::string& d2xxLibrary)
{
    if (options.simulate && options.ports.empty())
        return std::make_unique<sim::SimulatedBridge>();
    std::vector<std::string> paths;
    std::vector<usblink::NetworkAddress> addresses;
    for (const std::string& port : options.ports) {
        if (const auto address = usblink::NetworkAddress::parse(port))
            addresses.push_back(*address);
        else
            paths.push_back(port);
    }
    std::vector<std::unique_ptr<usblink::BridgeLibrary>> backends;
    if (options.simulate) {
        backends.push_back(std::make_unique<sim::SimulatedBridge>());
        backends.push_back(std::make_unique<usblink::SerialBridge>(paths));
    } else {
        auto local = localBridge(options, paths, error, d2xxLibrary);
        if (!local || addresses.empty())
            return local;
        backends.push_back(std::move(local));
    }
    if (!addresses.empty())
        backends.push_back(std::make_unique<usblink::NetworkBridge>(std::move(addresses)));
    return std::make_unique<usblink::CompositeBridge>(std::move(backends));
}

} // namespace app
