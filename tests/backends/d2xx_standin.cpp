// A stand-in for FTDI's D2XX library: the ten calls with D2XX's C shapes
// over a model of two devices. Every call is logged as one text line that a
// test reads back with standin_take_log(). A write of "*IDN?\r\n" queues a reply
// that reads return byte by byte.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>

namespace {

constexpr uint32_t Ok = 0;
constexpr uint32_t InvalidHandle = 1;
constexpr uint32_t DeviceNotFound = 2;
constexpr uint32_t InvalidParameter = 6;
constexpr uint32_t ListNumberOnly = 0x80000000u;
constexpr uint32_t ListByIndex = 0x40000000u;
constexpr uint32_t BySerialNumber = 1u;
constexpr uint32_t ByDescription = 2u;
constexpr uint32_t PurgeRx = 1u;

struct ModelDevice {
    const char* description;
    const char* serial;
};
constexpr ModelDevice Devices[] = { { "R6140K Stand-in", "SA000001" }, { "Other", "SB000002" } };
constexpr uintptr_t DeviceCount = sizeof(Devices) / sizeof(Devices[0]);

struct Device {
    int index;
    std::string pendingReply;
};

std::set<Device*> openDevices;
std::string log;
uintptr_t lastHandle = 0;

void logLine(const std::string& line)
{
    log += line + "\n";
}

// The handle the caller gave, as a known open device, or nullptr.
Device* deviceFor(void* handle)
{
    auto* device = static_cast<Device*>(handle);
    return openDevices.count(device) ? device : nullptr;
}

std::string deviceName(const Device* device)
{
    return "dev" + std::to_string(device->index);
}

std::string escaped(const char* bytes, uint32_t count)
{
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
        if (bytes[i] == '\r')
            text += "\\r";
        else if (bytes[i] == '\n')
            text += "\\n";
        else
            text += bytes[i];
    }
    return text;
}

uint32_t listByIndex(uintptr_t index, char* buffer, uint32_t which)
{
    logLine("FT_ListDevices index " + std::to_string(index) + (which == ByDescription ? " description" : " serial"));
    if (index >= DeviceCount)
        return DeviceNotFound;
    std::strcpy(buffer, which == ByDescription ? Devices[index].description : Devices[index].serial);
    return Ok;
}

} // namespace

extern "C" {

uint32_t FT_ListDevices(void* arg1, void* arg2, uint32_t flags)
{
    if (flags == ListNumberOnly) {
        logLine("FT_ListDevices number");
        *static_cast<uint32_t*>(arg1) = DeviceCount;
        return Ok;
    }
    const uint32_t which = flags & ~ListByIndex;
    if (!(flags & ListByIndex) || (which != ByDescription && which != BySerialNumber))
        return InvalidParameter;
    return listByIndex(reinterpret_cast<uintptr_t>(arg1), static_cast<char*>(arg2), which);
}

uint32_t FT_Open(int index, void** handle)
{
    logLine("FT_Open " + std::to_string(index));
    if (index < 0 || static_cast<uintptr_t>(index) >= DeviceCount)
        return DeviceNotFound;
    auto* device = new Device { index, {} };
    openDevices.insert(device);
    lastHandle = reinterpret_cast<uintptr_t>(device);
    *handle = device;
    return Ok;
}

uint32_t FT_SetBaudRate(void* handle, uint32_t baud)
{
    Device* device = deviceFor(handle);
    if (!device)
        return InvalidHandle;
    logLine("FT_SetBaudRate " + deviceName(device) + " " + std::to_string(baud));
    return Ok;
}

uint32_t FT_SetDataCharacteristics(void* handle, uint8_t bits, uint8_t stopBits, uint8_t parity)
{
    Device* device = deviceFor(handle);
    if (!device)
        return InvalidHandle;
    logLine("FT_SetDataCharacteristics " + deviceName(device) + " " + std::to_string(bits) + " "
        + std::to_string(stopBits) + " " + std::to_string(parity));
    return Ok;
}

uint32_t FT_SetFlowControl(void* handle, uint16_t flow, uint8_t xon, uint8_t xoff)
{
    Device* device = deviceFor(handle);
    if (!device)
        return InvalidHandle;
    logLine("FT_SetFlowControl " + deviceName(device) + " " + std::to_string(flow) + " " + std::to_string(xon) + " "
        + std::to_string(xoff));
    return Ok;
}

uint32_t FT_SetTimeouts(void* handle, uint32_t readMs, uint32_t writeMs)
{
    Device* device = deviceFor(handle);
    if (!device)
        return InvalidHandle;
    logLine("FT_SetTimeouts " + deviceName(device) + " " + std::to_string(readMs) + " " + std::to_string(writeMs));
    return Ok;
}

uint32_t FT_Write(void* handle, void* buffer, uint32_t count, uint32_t* written)
{
    Device* device = deviceFor(handle);
    if (!device)
        return InvalidHandle;
    const auto* bytes = static_cast<const char*>(buffer);
    logLine("FT_Write " + deviceName(device) + " \"" + escaped(bytes, count) + "\" " + std::to_string(count));
    if (std::string(bytes, count) == "*IDN?\r\n")
        device->pendingReply += "R6140K stand-in\r\n";
    *written = count;
    return Ok;
}

uint32_t FT_Read(void* handle, void* buffer, uint32_t count, uint32_t* received)
{
    Device* device = deviceFor(handle);
    if (!device)
        return InvalidHandle;
    logLine("FT_Read " + deviceName(device) + " " + std::to_string(count));
    *received = static_cast<uint32_t>(std::min<std::size_t>(count, device->pendingReply.size()));
    std::memcpy(buffer, device->pendingReply.data(), *received);
    device->pendingReply.erase(0, *received);
    return Ok;
}

uint32_t FT_Purge(void* handle, uint32_t mask)
{
    Device* device = deviceFor(handle);
    if (!device)
        return InvalidHandle;
    logLine("FT_Purge " + deviceName(device) + " " + std::to_string(mask));
    if (mask & PurgeRx)
        device->pendingReply.clear();
    return Ok;
}

#ifndef STANDIN_WITHOUT_CLOSE
uint32_t FT_Close(void* handle)
{
    Device* device = deviceFor(handle);
    if (!device)
        return InvalidHandle;
    logLine("FT_Close " + deviceName(device));
    openDevices.erase(device);
    delete device;
    return Ok;
}
#endif

// Test access to the model: the call log (cleared by each take) and the
// address of the last device handed out by FT_Open.
const char* standin_take_log()
{
    static std::string taken;
    taken = std::move(log);
    log.clear();
    return taken.c_str();
}

uintptr_t standin_last_handle()
{
    return lastHandle;
}

} // extern "C"
