#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "BridgeLibrary.h"

namespace usblink {

// An FT_Open that may wait as long as the backend itself allows.
inline constexpr uint32_t UnlimitedOpenWait = UINT32_MAX;

// What a backend can tell about its link beside the D2XX-shaped calls, which
// carry only status codes. Optional: a backend without it leaves the words
// to its caller. Found on a library with linkHealthOf().
class LinkHealth {
public:
    using LossObserver = std::function<void(DeviceHandle handle)>;

    virtual ~LinkHealth() = default;

    // Why the last FT_Open failed, for the user: what happened and what to
    // do about it. Empty after a success, or when the backend cannot tell.
    virtual std::string openFailure() const = 0;

    // Why the device behind handle answered FT_DEVICE_NOT_FOUND: where it
    // went. Empty when the backend cannot tell.
    virtual std::string lossReason(DeviceHandle handle) const = 0;

    // What the backend last did about a line that is still up and the user
    // should know of (the far side's malformed data discarded, say); empty
    // when nothing.
    virtual std::string notice(DeviceHandle handle) const = 0;

    // How long an FT_Open may wait for a device that answers slowly, a
    // network connection being made: a reopening tried from a timer waits
    // a few milliseconds only, so that the windows never freeze, and the
    // next FT_Open of the same device takes up a connection still under way.
    // UnlimitedOpenWait, the start, lets an open wait as long as the backend
    // allows.
    virtual void limitOpenWait(uint32_t milliseconds) = 0;

    // Tells observer of each open device that goes while no call is made on
    // it (unplugged, its connection closed, noticed by the event loop), so
    // that an idle link is known to be down too. One observer at a time.
    virtual void watchLosses(LossObserver observer) = 0;

    // Has pending events processed by pump at least every WaitSliceMs while
    // a read waits for its bytes, so that the windows stay live however long
    // the instrument takes to answer. A device closed from there ends the
    // read. None until told; an empty pump stops it.
    static constexpr int WaitSliceMs = 20;
    virtual void pumpWhileWaiting(std::function<void()> pump) = 0;
};

// The library's LinkHealth, if it has one.
inline LinkHealth* linkHealthOf(BridgeLibrary& library)
{
    return dynamic_cast<LinkHealth*>(&library);
}

} // namespace usblink
