#include "BridgeSelection.h"

#include "CompositeBridge.h"
#include "D2xxBridge.h"
#include "NetworkBridge.h"
#include "SerialBridge.h"

namespace app {
namespace {

std::unique_ptr<usblink::BridgeLibrary> localBridge(
    const BridgeChoice& choice, const std::vector<std::string>& paths, std::string* error, const std::string& d2xxLibrary)
{
    if (choice.backend == BridgeChoice::Backend::D2xx)
        return usblink::D2xxBridge::load(d2xxLibrary, error);
    return std::make_unique<usblink::SerialBridge>(paths);
}

} // namespace

// Network addresses go to a network backend listed after the local one;
// without any, the local backend stands alone, as it always did.
std::unique_ptr<usblink::BridgeLibrary> selectBridge(
    const BridgeChoice& choice, std::string* error, const std::string& d2xxLibrary)
{
    std::vector<std::string> paths;
    std::vector<usblink::NetworkAddress> addresses;
    for (const std::string& port : choice.ports) {
        if (const auto address = usblink::NetworkAddress::parse(port))
            addresses.push_back(*address);
        else
            paths.push_back(port);
    }
    auto local = localBridge(choice, paths, error, d2xxLibrary);
    if (!local || addresses.empty())
        return local;
    std::vector<std::unique_ptr<usblink::BridgeLibrary>> backends;
    backends.push_back(std::move(local));
    backends.push_back(std::make_unique<usblink::NetworkBridge>(std::move(addresses)));
    return std::make_unique<usblink::CompositeBridge>(std::move(backends));
}

} // namespace app
