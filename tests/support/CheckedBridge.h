#pragma once

#include <string>
#include <vector>

#include "ForwardingBridge.h"

namespace test_support {

// Passes every call to another bridge library and watches the line: it keeps
// the lines written, in order, and notes every message written while a query
// still waits for its reply (one query outstanding at a time).
class CheckedBridge : public usblink::ForwardingBridge {
public:
    using ForwardingBridge::ForwardingBridge;

    std::vector<std::string> lines;
    std::vector<std::string> violations;
    std::vector<usblink::DeviceHandle> closed;

    bool queryOutstanding() const { return outstanding_; }

    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        std::string text(static_cast<const char*>(buffer), count);
        for (std::size_t end; (end = text.find("\r\n")) != std::string::npos; text.erase(0, end + 2))
            noteLine(text.substr(0, end));
        return ForwardingBridge::FT_Write(handle, buffer, count, written);
    }

    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        const usblink::FT_STATUS status = ForwardingBridge::FT_Read(handle, buffer, count, received);
        const bool lineEnded = *received > 0 && static_cast<const char*>(buffer)[0] == '\n';
        // A reply that ends, times out or fails closes the exchange either way.
        if (lineEnded || *received == 0 || (status != usblink::FT_OK && status != usblink::FT_IO_ERROR))
            outstanding_ = false;
        return status;
    }

    usblink::FT_STATUS FT_Close(usblink::DeviceHandle handle) override
    {
        closed.push_back(handle);
        return ForwardingBridge::FT_Close(handle);
    }

private:
    void noteLine(const std::string& line)
    {
        if (outstanding_)
            violations.push_back("\"" + line + "\" sent while \"" + lines.back() + "\" awaited its reply");
        lines.push_back(line);
        outstanding_ = !line.empty() && line.back() == '?';
    }

    bool outstanding_ = false;
};

} // namespace test_support
