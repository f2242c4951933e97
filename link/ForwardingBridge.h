#pragma once

#include <functional>

#include "BridgeLibrary.h"
#include "LinkHealth.h"

namespace usblink {

// Passes every call on to another bridge library, and what the library can
// tell about its link. A decorator derives from it and overrides the calls it
// watches or changes, or forward(), which every call passes through by name.
class ForwardingBridge : public BridgeLibrary, public LinkHealth {
public:
    explicit ForwardingBridge(BridgeLibrary& inner)
        : inner_(inner)
    {
    }

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override
    {
        return forward("FT_ListDevices", [&] { return inner_.FT_ListDevices(arg1, arg2, flags); });
    }
    FT_STATUS FT_Open(int32_t index, DeviceHandle* handle) override
    {
        return forward("FT_Open", [&] { return inner_.FT_Open(index, handle); });
    }
    FT_STATUS FT_SetBaudRate(DeviceHandle handle, uint32_t baud) override
    {
        return forward("FT_SetBaudRate", [&] { return inner_.FT_SetBaudRate(handle, baud); });
    }
    FT_STATUS FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity) override
    {
        return forward("FT_SetDataCharacteristics",
            [&] { return inner_.FT_SetDataCharacteristics(handle, bits, stopBits, parity); });
    }
    FT_STATUS FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override
    {
        return forward("FT_SetFlowControl", [&] { return inner_.FT_SetFlowControl(handle, flow, xon, xoff); });
    }
    FT_STATUS FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override
    {
        return forward("FT_SetTimeouts", [&] { return inner_.FT_SetTimeouts(handle, readMs, writeMs); });
    }
    FT_STATUS FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        return forward("FT_Write", [&] { return inner_.FT_Write(handle, buffer, count, written); });
    }
    FT_STATUS FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        return forward("FT_Read", [&] { return inner_.FT_Read(handle, buffer, count, received); });
    }
    FT_STATUS FT_Purge(DeviceHandle handle, uint32_t mask) override
    {
        return forward("FT_Purge", [&] { return inner_.FT_Purge(handle, mask); });
    }
    FT_STATUS FT_Close(DeviceHandle handle) override
    {
        return forward("FT_Close", [&] { return inner_.FT_Close(handle); });
    }

    std::string openFailure() const override
    {
        const LinkHealth* health = linkHealthOf(inner_);
        return health ? health->openFailure() : std::string();
    }
    std::string lossReason(DeviceHandle handle) const override
    {
        const LinkHealth* health = linkHealthOf(inner_);
        return health ? health->lossReason(handle) : std::string();
    }
    std::string notice(DeviceHandle handle) const override
    {
        const LinkHealth* health = linkHealthOf(inner_);
        return health ? health->notice(handle) : std::string();
    }
    void limitOpenWait(uint32_t milliseconds) override
    {
        if (LinkHealth* health = linkHealthOf(inner_))
            health->limitOpenWait(milliseconds);
    }
    void watchLosses(LossObserver observer) override
    {
        if (LinkHealth* health = linkHealthOf(inner_))
            health->watchLosses(std::move(observer));
    }
    void pumpWhileWaiting(std::function<void()> pump) override
    {
        if (LinkHealth* health = linkHealthOf(inner_))
            health->pumpWhileWaiting(std::move(pump));
    }

protected:
    // The call named name, on its way to the inner library.
    virtual FT_STATUS forward(const char* name, const std::function<FT_STATUS()>& call)
    {
        (void)name;
        return call();
    }

private:
    BridgeLibrary& inner_;
};

} // namespace usblink
