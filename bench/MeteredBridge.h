#pragma once

#include <cstddef>

#include "ForwardingBridge.h"

namespace bench {

// Passes every call to another bridge library and counts the bytes that
// cross the line both ways, so a time can be set beside what the same bytes
// take on the wire.
class MeteredBridge : public usblink::ForwardingBridge {
public:
    using ForwardingBridge::ForwardingBridge;

    std::size_t bytesMoved() const { return bytesMoved_; }

    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        const usblink::FT_STATUS status = ForwardingBridge::FT_Write(handle, buffer, count, written);
        if (written)
            bytesMoved_ += *written;
        return status;
    }

    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        const usblink::FT_STATUS status = ForwardingBridge::FT_Read(handle, buffer, count, received);
        if (received)
            bytesMoved_ += *received;
        return status;
    }

private:
    std::size_t bytesMoved_ = 0;
};

} // namespace bench
