#pragma once

#include <cstddef>
#include <functional>

#include "ForwardingBridge.h"

namespace test_support {

// Passes every call to another bridge library but one: the call with the
// given number, counted from 1 over the whole session, does not reach the
// library and returns the given status instead, leaving its outputs alone.
// Number 0 fails nothing. Every call is reported to the observer first.
class FaultInjectingBridge : public usblink::ForwardingBridge {
public:
    using Observer = std::function<void(std::size_t number, const char* name, bool failing)>;

    FaultInjectingBridge(usblink::BridgeLibrary& inner, std::size_t failingCall, usblink::FT_STATUS status)
        : ForwardingBridge(inner)
        , failingCall_(failingCall)
        , status_(status)
    {
    }

    Observer observer;

    std::size_t callCount() const { return calls_; }

protected:
    usblink::FT_STATUS forward(const char* name, const std::function<usblink::FT_STATUS()>& call) override
    {
        const bool failing = ++calls_ == failingCall_;
        if (observer)
            observer(calls_, name, failing);
        return failing ? status_ : call();
    }

private:
    std::size_t failingCall_;
    usblink::FT_STATUS status_;
    std::size_t calls_ = 0;
};

} // namespace test_support
