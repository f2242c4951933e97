#pragma once

#include <functional>

#include "ForwardingBridge.h"

namespace session {

// Watches the calls that carry the line: a write or read answering
// FT_DEVICE_NOT_FOUND means the device is gone (unplugged, its connection
// closed), and the watcher is told which handle it was.
class LinkWatch : public usblink::ForwardingBridge {
public:
    LinkWatch(usblink::BridgeLibrary& inner, LossObserver lost)
        : ForwardingBridge(inner)
        , lost_(std::move(lost))
    {
    }

    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        return watched(handle, ForwardingBridge::FT_Write(handle, buffer, count, written));
    }

    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        return watched(handle, ForwardingBridge::FT_Read(handle, buffer, count, received));
    }

private:
    usblink::FT_STATUS watched(usblink::DeviceHandle handle, usblink::FT_STATUS status)
    {
        if (status == usblink::FT_DEVICE_NOT_FOUND)
            lost_(handle);
        return status;
    }

    LossObserver lost_;
};

} // namespace session
