#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "HandleTable.h"
#include "LinkHealth.h"
#include "ListingBridge.h"
#include "NetworkAddress.h"

namespace usblink {

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
class NetworkBridge : public ListingBridge<NetworkEntry>, public LinkHealth {
public:
    // A connection not made within this time fails the open.
    static constexpr uint32_t ConnectTimeoutMs = 3000;
    // Unread input is held up to this many bytes; replies are far shorter.
    static constexpr std::size_t InputBound = 4096;

    explicit NetworkBridge(std::vector<NetworkAddress> addresses);
    ~NetworkBridge() override;

    FT_STATUS FT_Open(int32_t index, DeviceHandle* handle) override;
    FT_STATUS FT_SetBaudRate(DeviceHandle handle, uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override;
    FT_STATUS FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_Purge(DeviceHandle handle, uint32_t mask) override;
    FT_STATUS FT_Close(DeviceHandle handle) override;

    std::string openFailure() const override { return lastOpenError_; }
    std::string lossReason(DeviceHandle handle) const override;
    void limitOpenWait(uint32_t milliseconds) override { openWaitMs_ = milliseconds; }
    void watchLosses(LossObserver observer) override { lossObserver_ = std::move(observer); }

protected:
    std::vector<NetworkEntry> attachedDevices() override;

private:
    struct Connection;
    struct Lookup {
        Connection* connection;
        FT_STATUS status;
    };

    Lookup lookUp(DeviceHandle handle) const;
    std::unique_ptr<Connection> connect(const NetworkAddress& address);
    FT_STATUS askFarSide(DeviceHandle handle, const std::vector<std::string>& commands);

    std::vector<NetworkAddress> addresses_;
    // Connections still being made, by address, for the next FT_Open.
    std::map<std::string, std::unique_ptr<Connection>> connecting_;
    HandleTable<Connection> connections_;
    uint32_t openWaitMs_ = UnlimitedOpenWait;
    std::string lastOpenError_;
    LossObserver lossObserver_;
};

} // namespace usblink
