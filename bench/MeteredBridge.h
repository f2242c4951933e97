#pragma once

#include <cstddef>

#include "link/BridgeLibrary.h"

namespace bench {

// A bridge library that counts the bytes that cross the line both ways, so a
// time can be set beside what the same bytes take on the wire.
template <typename Bridge> class MeteredBridge : public Bridge {
public:
    using Bridge::Bridge;

    std::size_t bytesMoved() const { return bytesMoved_; }

    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        const usblink::FT_STATUS status = Bridge::FT_Write(handle, buffer, count, written);
        if (written)
            bytesMoved_ += *written;
        return status;
    }

    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        const usblink::FT_STATUS status = Bridge::FT_Read(handle, buffer, count, received);
        if (received)
            bytesMoved_ += *received;
        return status;
    }

private:
    std::size_t bytesMoved_ = 0;
};

} // namespace bench
