#include "SimulatedBridge.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string_view>

namespace sim {

using namespace usblink;

std::vector<ListedDevice> SimulatedBridge::attachedDevices()
{
    return { { Description, SerialNumber } };
}

FT_STATUS SimulatedBridge::FT_Open(int32_t index, DeviceHandle* handle)
{
    if (!handle)
        return FT_INVALID_PARAMETER;
    if (index != 0)
        return FT_DEVICE_NOT_FOUND;
    if (open_)
        return FT_DEVICE_NOT_OPENED;
    *handle = connections_.add(std::make_unique<Connection>());
    open_ = true;
    return FT_OK;
}

FT_STATUS SimulatedBridge::statusOf(DeviceHandle handle) const
{
    return connections_.find(handle) ? FT_OK : FT_INVALID_HANDLE;
}

// The line settings do not matter in-process; they only need an open handle.
FT_STATUS SimulatedBridge::FT_SetBaudRate(DeviceHandle handle, uint32_t)
{
    return statusOf(handle);
}

FT_STATUS SimulatedBridge::FT_SetDataCharacteristics(DeviceHandle handle, uint8_t, uint8_t, uint8_t)
{
    return statusOf(handle);
}

FT_STATUS SimulatedBridge::FT_SetFlowControl(DeviceHandle handle, uint16_t, uint8_t, uint8_t)
{
    return statusOf(handle);
}

FT_STATUS SimulatedBridge::FT_SetTimeouts(DeviceHandle handle, uint32_t, uint32_t)
{
    return statusOf(handle);
}

FT_STATUS SimulatedBridge::FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written)
{
    Connection* connection = connections_.find(handle);
    if (!connection)
        return FT_INVALID_HANDLE;
    if (!written || (count > 0 && !buffer))
        return FT_INVALID_PARAMETER;
    const std::string reply = instrument_.receive({ static_cast<const char*>(buffer), count });
    connection->replyBytes.insert(connection->replyBytes.end(), reply.begin(), reply.end());
    *written = count;
    return FT_OK;
}

// Replies are complete as soon as the write returns, so an empty queue means
// nothing will ever arrive: the read times out at once.
FT_STATUS SimulatedBridge::FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received)
{
    Connection* connection = connections_.find(handle);
    if (!connection)
        return FT_INVALID_HANDLE;
    if (!received || (count > 0 && !buffer))
        return FT_INVALID_PARAMETER;
    auto& queued = connection->replyBytes;
    const auto taken = std::min<std::size_t>(count, queued.size());
    std::copy_n(queued.begin(), taken, static_cast<char*>(buffer));
    queued.erase(queued.begin(), queued.begin() + static_cast<std::ptrdiff_t>(taken));
    *received = static_cast<uint32_t>(taken);
    return FT_OK;
}

// Writes complete at once, so only reply bytes can be pending.
FT_STATUS SimulatedBridge::FT_Purge(DeviceHandle handle, uint32_t mask)
{
    Connection* connection = connections_.find(handle);
    if (!connection)
        return FT_INVALID_HANDLE;
    if (mask & FT_PURGE_RX)
        connection->replyBytes.clear();
    return FT_OK;
}

FT_STATUS SimulatedBridge::FT_Close(DeviceHandle handle)
{
    if (!connections_.remove(handle))
        return FT_INVALID_HANDLE;
    open_ = false;
    return FT_OK;
}

} // namespace sim
