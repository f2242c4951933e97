#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BridgeLibrary.h"

namespace usblink {

// A listed device's two texts.
struct ListedDevice {
    std::string description;
    std::string serial;
};

// Copies text into a listing call's buffer, cut to fit, NUL-terminated.
void copyListText(std::string_view text, void* buffer);

// A backend whose devices are a plain list: it answers FT_ListDevices in its
// three uses from that list. Device has at least a description and a serial
// number; a backend may keep more in it (the path to open, say). Library is
// what it builds on: BridgeLibrary, or a base that answers other calls.
template <typename Device, typename Library = BridgeLibrary> class ListingBridge : public Library {
public:
    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override
    {
        if (flags == FT_LIST_NUMBER_ONLY) {
            if (!arg1)
                return FT_INVALID_PARAMETER;
            devices_ = attachedDevices();
            *static_cast<uint32_t*>(arg1) = static_cast<uint32_t>(devices_->size());
            return FT_OK;
        }
        const uint32_t which = flags & ~FT_LIST_BY_INDEX;
        const bool known = which == FT_OPEN_BY_DESCRIPTION || which == FT_OPEN_BY_SERIAL_NUMBER;
        if (!(flags & FT_LIST_BY_INDEX) || !known || !arg2)
            return FT_INVALID_PARAMETER;
        const auto index = reinterpret_cast<uintptr_t>(arg1);
        const std::vector<Device>& devices = listed();
        if (index >= devices.size())
            return FT_DEVICE_NOT_FOUND;
        const Device& device = devices[index];
        copyListText(which == FT_OPEN_BY_DESCRIPTION ? device.description : device.serial, arg2);
        return FT_OK;
    }

protected:
    // The devices attached now, in index order.
    virtual std::vector<Device> attachedDevices() = 0;

    // The list as the last count call saw it (or as it stands now, before
    // any), so that an index means the same device from listing to opening.
    const std::vector<Device>& listed()
    {
        if (!devices_)
            devices_ = attachedDevices();
        return *devices_;
    }

    // The listed device an FT_Open names, or nullptr with the status to
    // return: no handle to fill, or no such index.
    const Device* deviceToOpen(int32_t index, const DeviceHandle* handle, FT_STATUS& status)
    {
        const std::vector<Device>& devices = listed();
        const bool known = index >= 0 && static_cast<std::size_t>(index) < devices.size();
        status = !handle ? FT_INVALID_PARAMETER : known ? FT_OK : FT_DEVICE_NOT_FOUND;
        return status == FT_OK ? &devices[static_cast<std::size_t>(index)] : nullptr;
    }

private:
    std::optional<std::vector<Device>> devices_;
};

} // namespace usblink
