#pragma once

#include <memory>
#include <vector>

#include "HandleTable.h"
#include "LinkHealth.h"
#include "ListingBridge.h"

namespace usblink {

// A device of one of the composed backends, by its index there.
struct ComposedDevice {
    std::string description;
    std::string serial;
    BridgeLibrary* backend = nullptr;
    int32_t index = 0;
};

// Several backends behind one seam (the serial ports and the network lines,
// say): their devices are listed one backend after another, and each call on
// an open device goes to the backend that opened it.
class CompositeBridge : public ListingBridge<ComposedDevice>, public LinkHealth {
public:
    explicit CompositeBridge(std::vector<std::unique_ptr<BridgeLibrary>> backends);

    FT_STATUS FT_Open(int32_t index, DeviceHandle* handle) override;
    FT_STATUS FT_SetBaudRate(DeviceHandle handle, uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override;
    FT_STATUS FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_Purge(DeviceHandle handle, uint32_t mask) override;
    FT_STATUS FT_Close(DeviceHandle handle) override;

    std::string openFailure() const override;
    std::string lossReason(DeviceHandle handle) const override;
    std::string notice(DeviceHandle handle) const override;
    void limitOpenWait(uint32_t milliseconds) override;
    void watchLosses(LossObserver observer) override { lossObserver_ = std::move(observer); }
    void pumpWhileWaiting(std::function<void()> pump) override;

protected:
    std::vector<ComposedDevice> attachedDevices() override;

private:
    // An open device: the backend that opened it and its handle there.
    struct Route {
        BridgeLibrary* backend;
        DeviceHandle handle;
    };

    template <typename Call> FT_STATUS onRoute(DeviceHandle handle, Call call);

    // Each backend closes the devices it still has open when it goes.
    std::vector<std::unique_ptr<BridgeLibrary>> backends_;
    HandleTable<Route> routes_;
    BridgeLibrary* lastOpened_ = nullptr;
    LossObserver lossObserver_;
};

} // namespace usblink
