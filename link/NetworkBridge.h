#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "LineBackend.h"
#include "ListingBridge.h"
#include "NetworkAddress.h"

namespace usblink {

class NetworkLine;

// A network line as the bridge lists it.
struct NetworkEntry {
    std::string description;
    std::string serial; // the address as given
    NetworkAddress address;
};

// Instruments whose serial line another computer exports on the network,
// listed as "R6140K" with the address as serial number, and behaving to
// the driver like a serial line: the same byte counts, the per-byte read
// time-out, FT_DEVICE_NOT_FOUND as soon as the connection is gone. On RFC
// 2217 the line settings are asked of the far side as the driver sets them.
// Use it on one thread that Qt knows, the GUI thread.
class NetworkBridge : public ListingBridge<NetworkEntry, LineBackend> {
public:
    // A connection not made within this time fails the open.
    static constexpr uint32_t ConnectTimeoutMs = 3000;

    explicit NetworkBridge(std::vector<NetworkAddress> addresses);
    ~NetworkBridge() override;

    FT_STATUS FT_Open(int32_t index, DeviceHandle* handle) override;
    void limitOpenWait(uint32_t milliseconds) override { openWaitMs_ = milliseconds; }

protected:
    std::vector<NetworkEntry> attachedDevices() override;

private:
    std::unique_ptr<NetworkLine> connectionTo(const NetworkAddress& address);
    void keepOrFail(std::unique_ptr<NetworkLine> line);

    std::vector<NetworkAddress> addresses_;
    // Connections still being made, by address, for the next FT_Open.
    std::map<std::string, std::unique_ptr<NetworkLine>> connecting_;
    uint32_t openWaitMs_ = UnlimitedOpenWait;
};

} // namespace usblink
