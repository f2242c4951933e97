#pragma once

#include <cstdint>
#include <map>
#include <memory>

#include "BridgeLibrary.h"

namespace usblink {

// Maps open devices to the 32-bit handles the panel passes around. Handles
// count up from 1 and are never reused within a run, so 0 and -1 never name
// an open device and a stale handle never reaches a newer device.
template <typename Device>
class HandleTable {
public:
    DeviceHandle add(std::unique_ptr<Device> device)
    {
        const DeviceHandle handle = next_++;
        devices_[handle] = std::move(device);
        return handle;
    }

    // The device behind handle, or nullptr for a closed or unknown handle.
    Device* find(DeviceHandle handle) const
    {
        const auto it = devices_.find(handle);
        return it == devices_.end() ? nullptr : it->second.get();
    }

    // The handle of the first device that matches, or 0.
    template <typename Predicate> DeviceHandle findHandle(Predicate matches) const
    {
        for (const auto& [handle, device] : devices_)
            if (matches(*device))
                return handle;
        return 0;
    }

    std::unique_ptr<Device> remove(DeviceHandle handle)
    {
        const auto it = devices_.find(handle);
        if (it == devices_.end())
            return nullptr;
        auto device = std::move(it->second);
        devices_.erase(it);
        return device;
    }

private:
    std::map<DeviceHandle, std::unique_ptr<Device>> devices_;
    DeviceHandle next_ = 1;
};

}  // namespace usblink
