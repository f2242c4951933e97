#pragma once

#include <cstddef>
#include <functional>

#include "link/BridgeLibrary.h"

namespace test_support {

// Passes every call to another bridge library but one: the call with the
// given number, counted from 1 over the whole session, does not reach the
// library and returns the given status instead, leaving its outputs alone.
// Number 0 fails nothing. Every call is reported to the observer first.
class FaultInjectingBridge : public usblink::BridgeLibrary {
public:
    using Observer = std::function<void(std::size_t number, const char* name, bool failing)>;

    FaultInjectingBridge(usblink::BridgeLibrary& inner, std::size_t failingCall, usblink::FT_STATUS status)
        : inner_(inner)
        , failingCall_(failingCall)
        , status_(status)
    {
    }

    Observer observer;

    std::size_t callCount() const { return calls_; }

    usblink::FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override
    {
        return pass("FT_ListDevices", [&] { return inner_.FT_ListDevices(arg1, arg2, flags); });
    }
    usblink::FT_STATUS FT_Open(int32_t index, usblink::DeviceHandle* handle) override
    {
        return pass("FT_Open", [&] { return inner_.FT_Open(index, handle); });
    }
    usblink::FT_STATUS FT_SetBaudRate(usblink::DeviceHandle handle, uint32_t baud) override
    {
        return pass("FT_SetBaudRate", [&] { return inner_.FT_SetBaudRate(handle, baud); });
    }
    usblink::FT_STATUS FT_SetDataCharacteristics(
        usblink::DeviceHandle handle, uint8_t bits, uint8_t stop, uint8_t parity) override
    {
        return pass(
            "FT_SetDataCharacteristics", [&] { return inner_.FT_SetDataCharacteristics(handle, bits, stop, parity); });
    }
    usblink::FT_STATUS FT_SetFlowControl(
        usblink::DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override
    {
        return pass("FT_SetFlowControl", [&] { return inner_.FT_SetFlowControl(handle, flow, xon, xoff); });
    }
    usblink::FT_STATUS FT_SetTimeouts(usblink::DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override
    {
        return pass("FT_SetTimeouts", [&] { return inner_.FT_SetTimeouts(handle, readMs, writeMs); });
    }
    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        return pass("FT_Write", [&] { return inner_.FT_Write(handle, buffer, count, written); });
    }
    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override
    {
        return pass("FT_Read", [&] { return inner_.FT_Read(handle, buffer, count, received); });
    }
    usblink::FT_STATUS FT_Purge(usblink::DeviceHandle handle, uint32_t mask) override
    {
        return pass("FT_Purge", [&] { return inner_.FT_Purge(handle, mask); });
    }
    usblink::FT_STATUS FT_Close(usblink::DeviceHandle handle) override
    {
        return pass("FT_Close", [&] { return inner_.FT_Close(handle); });
    }

private:
    template <typename Call> usblink::FT_STATUS pass(const char* name, Call call)
    {
        const bool failing = ++calls_ == failingCall_;
        if (observer)
            observer(calls_, name, failing);
        return failing ? status_ : call();
    }

    usblink::BridgeLibrary& inner_;
    std::size_t failingCall_;
    usblink::FT_STATUS status_;
    std::size_t calls_ = 0;
};

} // namespace test_support
