#include "CompositeBridge.h"

#include <array>

namespace usblink {
namespace {

std::string listedText(BridgeLibrary& backend, uint32_t index, uint32_t which)
{
    std::array<char, ListTextSize> text {};
    if (backend.FT_ListDevices(reinterpret_cast<void*>(uintptr_t { index }), text.data(), FT_LIST_BY_INDEX | which)
        != FT_OK)
        return {};
    return text.data();
}

} // namespace

// A loss a backend reports is passed on under the handle given out here.
CompositeBridge::CompositeBridge(std::vector<std::unique_ptr<BridgeLibrary>> backends)
    : backends_(std::move(backends))
{
    for (const auto& backend : backends_) {
        LinkHealth* health = linkHealthOf(*backend);
        if (!health)
            continue;
        health->watchLosses([this, backend = backend.get()](DeviceHandle inner) {
            const DeviceHandle handle = routes_.findHandle(
                [&](const Route& route) { return route.backend == backend && route.handle == inner; });
            if (handle != 0 && lossObserver_)
                lossObserver_(handle);
        });
    }
}

// A backend whose listing fails contributes no device.
std::vector<ComposedDevice> CompositeBridge::attachedDevices()
{
    std::vector<ComposedDevice> devices;
    for (const auto& backend : backends_) {
        uint32_t count = 0;
        if (backend->FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK)
            continue;
        for (uint32_t i = 0; i < count; ++i)
            devices.push_back({ listedText(*backend, i, FT_OPEN_BY_DESCRIPTION),
                listedText(*backend, i, FT_OPEN_BY_SERIAL_NUMBER), backend.get(), static_cast<int32_t>(i) });
    }
    return devices;
}

FT_STATUS CompositeBridge::FT_Open(int32_t index, DeviceHandle* handle)
{
    FT_STATUS status = FT_OK;
    const ComposedDevice* device = deviceToOpen(index, handle, status);
    if (!device)
        return status;
    lastOpened_ = device->backend;
    DeviceHandle inner = 0;
    status = device->backend->FT_Open(device->index, &inner);
    if (status == FT_OK)
        *handle = routes_.add(std::make_unique<Route>(Route { device->backend, inner }));
    return status;
}

template <typename Call> FT_STATUS CompositeBridge::onRoute(DeviceHandle handle, Call call)
{
    const Route* route = routes_.find(handle);
    return route ? call(*route->backend, route->handle) : FT_INVALID_HANDLE;
}

FT_STATUS CompositeBridge::FT_SetBaudRate(DeviceHandle handle, uint32_t baud)
{
    return onRoute(handle, [&](BridgeLibrary& backend, DeviceHandle inner) { return backend.FT_SetBaudRate(inner, baud); });
}

FT_STATUS CompositeBridge::FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity)
{
    return onRoute(handle, [&](BridgeLibrary& backend, DeviceHandle inner) {
        return backend.FT_SetDataCharacteristics(inner, bits, stopBits, parity);
    });
}

FT_STATUS CompositeBridge::FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff)
{
    return onRoute(handle,
        [&](BridgeLibrary& backend, DeviceHandle inner) { return backend.FT_SetFlowControl(inner, flow, xon, xoff); });
}

FT_STATUS CompositeBridge::FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs)
{
    return onRoute(handle,
        [&](BridgeLibrary& backend, DeviceHandle inner) { return backend.FT_SetTimeouts(inner, readMs, writeMs); });
}

FT_STATUS CompositeBridge::FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written)
{
    return onRoute(handle,
        [&](BridgeLibrary& backend, DeviceHandle inner) { return backend.FT_Write(inner, buffer, count, written); });
}

FT_STATUS CompositeBridge::FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received)
{
    return onRoute(handle,
        [&](BridgeLibrary& backend, DeviceHandle inner) { return backend.FT_Read(inner, buffer, count, received); });
}

FT_STATUS CompositeBridge::FT_Purge(DeviceHandle handle, uint32_t mask)
{
    return onRoute(handle, [&](BridgeLibrary& backend, DeviceHandle inner) { return backend.FT_Purge(inner, mask); });
}

FT_STATUS CompositeBridge::FT_Close(DeviceHandle handle)
{
    const auto route = routes_.remove(handle);
    return route ? route->backend->FT_Close(route->handle) : FT_INVALID_HANDLE;
}

std::string CompositeBridge::openFailure() const
{
    const LinkHealth* health = lastOpened_ ? linkHealthOf(*lastOpened_) : nullptr;
    return health ? health->openFailure() : std::string();
}

std::string CompositeBridge::lossReason(DeviceHandle handle) const
{
    const Route* route = routes_.find(handle);
    const LinkHealth* health = route ? linkHealthOf(*route->backend) : nullptr;
    return health ? health->lossReason(route->handle) : std::string();
}

std::string CompositeBridge::notice(DeviceHandle handle) const
{
    const Route* route = routes_.find(handle);
    const LinkHealth* health = route ? linkHealthOf(*route->backend) : nullptr;
    return health ? health->notice(route->handle) : std::string();
}

void CompositeBridge::pumpWhileWaiting(std::function<void()> pump)
{
    for (const auto& backend : backends_)
        if (LinkHealth* health = linkHealthOf(*backend))
            health->pumpWhileWaiting(pump);
}

void CompositeBridge::limitOpenWait(uint32_t milliseconds)
{
    for (const auto& backend : backends_)
        if (LinkHealth* health = linkHealthOf(*backend))
            health->limitOpenWait(milliseconds);
}

} // namespace usblink
