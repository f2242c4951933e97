#pragma once

#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "BridgeLibrary.h"

namespace test_support {

// A bridge library whose devices, statuses and received bytes a test sets
// up in advance, and which logs every call it gets, in order.
class ScriptedBridge : public usblink::BridgeLibrary {
public:
    struct Device {
        std::string description;
        std::string serial;
    };
    // One FT_Read outcome: the status and, if any, the byte received.
    struct ReadStep {
        usblink::FT_STATUS status = usblink::FT_OK;
        std::optional<char> byte;
    };

    std::vector<Device> devices;
    std::map<std::string, usblink::FT_STATUS> failing; // operation name -> status it returns
    std::deque<ReadStep> reads; // when empty, a read times out
    std::vector<std::string> calls; // "FT_Open 0", "FT_Write *IDN?\r\n", ...
    usblink::DeviceHandle openHandle = 7;
    // Answers each line written (without its CR LF) with the bytes it returns.
    std::function<std::string(const std::string& line)> respond;

    void receive(std::string_view bytes, usblink::FT_STATUS status = usblink::FT_OK)
    {
        for (char c : bytes)
            reads.push_back({ status, c });
    }

    std::vector<std::string> writes() const { return callsNamed("FT_Write "); }

    std::vector<std::string> callsNamed(const std::string& prefix) const
    {
        std::vector<std::string> found;
        for (const auto& call : calls)
            if (call.rfind(prefix, 0) == 0)
                found.push_back(call.substr(prefix.size()));
        return found;
    }

    usblink::FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override
    {
        if (flags == usblink::FT_LIST_NUMBER_ONLY) {
            calls.push_back("FT_ListDevices count");
            *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(devices.size());
            return status("FT_ListDevices count");
        }
        const auto index = static_cast<std::size_t>(reinterpret_cast<uintptr_t>(arg1));
        const bool bySerial = (flags & usblink::FT_OPEN_BY_SERIAL_NUMBER) != 0;
        const std::string name
            = std::string("FT_ListDevices ") + (bySerial ? "serial " : "description ") + std::to_string(index);
        calls.push_back(name);
        if (index >= devices.size())
            return usblink::FT_DEVICE_NOT_FOUND;
        const std::string& text = bySerial ? devices[index].serial : devices[index].description;
        std::memcpy(arg2, text.c_str(), text.size() + 1);
        return status(name);
    }

    usblink::FT_STATUS FT_Open(int32_t index, usblink::DeviceHandle* handle) override
    {
        calls.push_back("FT_Open " + std::to_string(index));
        *handle = openHandle;
        return status("FT_Open");
    }

    usblink::FT_STATUS FT_SetBaudRate(usblink::DeviceHandle handle, uint32_t baud) override
    {
        return record("FT_SetBaudRate", handle, { baud });
    }

    usblink::FT_STATUS FT_SetDataCharacteristics(
        usblink::DeviceHandle handle, uint8_t bits, uint8_t stop, uint8_t parity) override
    {
        return record("FT_SetDataCharacteristics", handle, { bits, stop, parity });
    }

    usblink::FT_STATUS FT_SetFlowControl(
        usblink::DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override
    {
        return record("FT_SetFlowControl", handle, { flow, xon, xoff });
    }

    usblink::FT_STATUS FT_SetTimeouts(usblink::DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override
    {
        return record("FT_SetTimeouts", handle, { readMs, writeMs });
    }

    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        calls.push_back("FT_Write " + std::string(static_cast<const char*>(buffer), count));
        *written = count;
        if (handle != openHandle)
            return usblink::FT_INVALID_HANDLE;
        if (respond)
            receive(respond(std::string(static_cast<const char*>(buffer), count - 2)));
        return status("FT_Write");
    }

    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        calls.push_back("FT_Read " + std::to_string(count));
        if (handle != openHandle)
            return usblink::FT_INVALID_HANDLE;
        if (reads.empty())
            return usblink::FT_OK;
        const ReadStep step = reads.front();
        reads.pop_front();
        if (step.byte) {
            *static_cast<char*>(buffer) = *step.byte;
            *received = 1;
        }
        return step.status;
    }

    // A receive purge that succeeds drops the reads still scripted.
    usblink::FT_STATUS FT_Purge(usblink::DeviceHandle handle, uint32_t mask) override
    {
        calls.push_back("FT_Purge " + std::to_string(mask));
        if (handle != openHandle)
            return usblink::FT_INVALID_HANDLE;
        const usblink::FT_STATUS result = status("FT_Purge");
        if (result == usblink::FT_OK && (mask & usblink::FT_PURGE_RX))
            reads.clear();
        return result;
    }

    usblink::FT_STATUS FT_Close(usblink::DeviceHandle handle) override
    {
        calls.push_back("FT_Close " + std::to_string(handle));
        return handle == openHandle ? status("FT_Close") : usblink::FT_INVALID_HANDLE;
    }

private:
    usblink::FT_STATUS status(const std::string& name) const
    {
        const auto it = failing.find(name);
        return it == failing.end() ? usblink::FT_OK : it->second;
    }

    usblink::FT_STATUS record(
        const std::string& name, usblink::DeviceHandle handle, std::initializer_list<uint32_t> args)
    {
        std::string call = name + " " + std::to_string(handle);
        for (uint32_t arg : args)
            call += " " + std::to_string(arg);
        calls.push_back(call);
        return status(name);
    }
};

} // namespace test_support
