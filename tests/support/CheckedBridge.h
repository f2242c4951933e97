#pragma once

#include <string>
#include <vector>

#include "link/BridgeLibrary.h"

namespace test_support {

// Passes every call to another bridge library and watches the line: it keeps
// the lines written, in order, and notes every message written while a query
// still waits for its reply (one query outstanding at a time).
class CheckedBridge : public usblink::BridgeLibrary {
public:
    explicit CheckedBridge(usblink::BridgeLibrary& inner)
        : inner_(inner)
    {
    }

    std::vector<std::string> lines;
    std::vector<std::string> violations;
    std::vector<usblink::DeviceHandle> closed;

    bool queryOutstanding() const { return outstanding_; }

    usblink::FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override
    {
        return inner_.FT_ListDevices(arg1, arg2, flags);
    }
    usblink::FT_STATUS FT_Open(int32_t index, usblink::DeviceHandle* handle) override
    {
        return inner_.FT_Open(index, handle);
    }
    usblink::FT_STATUS FT_SetBaudRate(usblink::DeviceHandle handle, uint32_t baud) override
    {
        return inner_.FT_SetBaudRate(handle, baud);
    }
    usblink::FT_STATUS FT_SetDataCharacteristics(
        usblink::DeviceHandle handle, uint8_t bits, uint8_t stop, uint8_t parity) override
    {
        return inner_.FT_SetDataCharacteristics(handle, bits, stop, parity);
    }
    usblink::FT_STATUS FT_SetFlowControl(
        usblink::DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override
    {
        return inner_.FT_SetFlowControl(handle, flow, xon, xoff);
    }
    usblink::FT_STATUS FT_SetTimeouts(usblink::DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override
    {
        return inner_.FT_SetTimeouts(handle, readMs, writeMs);
    }

    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        std::string text(static_cast<const char*>(buffer), count);
        for (std::size_t end; (end = text.find("\r\n")) != std::string::npos; text.erase(0, end + 2))
            noteLine(text.substr(0, end));
        return inner_.FT_Write(handle, buffer, count, written);
    }

    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        const usblink::FT_STATUS status = inner_.FT_Read(handle, buffer, count, received);
        const bool lineEnded = *received > 0 && static_cast<const char*>(buffer)[0] == '\n';
        // A reply that ends, times out or fails closes the exchange either way.
        if (lineEnded || *received == 0 || (status != usblink::FT_OK && status != usblink::FT_IO_ERROR))
            outstanding_ = false;
        return status;
    }

    usblink::FT_STATUS FT_Purge(usblink::DeviceHandle handle, uint32_t mask) override
    {
        return inner_.FT_Purge(handle, mask);
    }

    usblink::FT_STATUS FT_Close(usblink::DeviceHandle handle) override
    {
        closed.push_back(handle);
        return inner_.FT_Close(handle);
    }

private:
    void noteLine(const std::string& line)
    {
        if (outstanding_)
            violations.push_back("\"" + line + "\" sent while \"" + lines.back() + "\" awaited its reply");
        lines.push_back(line);
        outstanding_ = !line.empty() && line.back() == '?';
    }

    usblink::BridgeLibrary& inner_;
    bool outstanding_ = false;
};

} // namespace test_support
