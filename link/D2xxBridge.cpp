#include "D2xxBridge.h"

#include <QLibrary>

#include <utility>

namespace usblink {
namespace {

// The calls as D2XX declares them: its DWORD, ULONG and FT_STATUS are 32
// bits everywhere, FT_HANDLE is a pointer. R6140K_D2XX_CALL, the calling
// convention, is the build's to set for the system.
using FtHandle = void*;
using ListDevicesFn = uint32_t(R6140K_D2XX_CALL*)(void*, void*, uint32_t);
using OpenFn = uint32_t(R6140K_D2XX_CALL*)(int, FtHandle*);
using SetBaudRateFn = uint32_t(R6140K_D2XX_CALL*)(FtHandle, uint32_t);
using SetDataCharacteristicsFn = uint32_t(R6140K_D2XX_CALL*)(FtHandle, uint8_t, uint8_t, uint8_t);
using SetFlowControlFn = uint32_t(R6140K_D2XX_CALL*)(FtHandle, uint16_t, uint8_t, uint8_t);
using SetTimeoutsFn = uint32_t(R6140K_D2XX_CALL*)(FtHandle, uint32_t, uint32_t);
using TransferFn = uint32_t(R6140K_D2XX_CALL*)(FtHandle, void*, uint32_t, uint32_t*);
using PurgeFn = uint32_t(R6140K_D2XX_CALL*)(FtHandle, uint32_t);
using CloseFn = uint32_t(R6140K_D2XX_CALL*)(FtHandle);

// Resolves name into function; on failure notes the name (the first only).
template <typename Function> bool resolve(QLibrary& library, const char* name, Function& function, std::string& missing)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    if (!function)
        missing = name;
    return function != nullptr;
}

void report(std::string* error, std::string text)
{
    if (error)
        *error = std::move(text);
}

} // namespace

struct D2xxBridge::Api {
    QLibrary library;
    ListDevicesFn listDevices = nullptr;
    OpenFn open = nullptr;
    SetBaudRateFn setBaudRate = nullptr;
    SetDataCharacteristicsFn setDataCharacteristics = nullptr;
    SetFlowControlFn setFlowControl = nullptr;
    SetTimeoutsFn setTimeouts = nullptr;
    TransferFn write = nullptr;
    TransferFn read = nullptr;
    PurgeFn purge = nullptr;
    CloseFn close = nullptr;

    // False with the name of the first call the library lacks.
    bool resolveAll(std::string& missing)
    {
        return resolve(library, "FT_ListDevices", listDevices, missing) && resolve(library, "FT_Open", open, missing)
            && resolve(library, "FT_SetBaudRate", setBaudRate, missing)
            && resolve(library, "FT_SetDataCharacteristics", setDataCharacteristics, missing)
            && resolve(library, "FT_SetFlowControl", setFlowControl, missing)
            && resolve(library, "FT_SetTimeouts", setTimeouts, missing) && resolve(library, "FT_Write", write, missing)
            && resolve(library, "FT_Read", read, missing) && resolve(library, "FT_Purge", purge, missing)
            && resolve(library, "FT_Close", close, missing);
    }
};

// Closes its D2XX handle when dropped, so no device stays open past the bridge.
struct D2xxBridge::OpenDevice {
    OpenDevice(FtHandle handle, CloseFn close)
        : handle(handle)
        , close(close)
    {
    }
    ~OpenDevice()
    {
        if (handle)
            close(handle);
    }
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;

    FtHandle handle;
    CloseFn close;
};

// The build names the file for the system it is for.
std::string D2xxBridge::defaultLibraryName()
{
    return R6140K_D2XX_LIBRARY;
}

std::unique_ptr<D2xxBridge> D2xxBridge::load(const std::string& path, std::string* error)
{
    auto api = std::make_unique<Api>();
    api->library.setFileName(QString::fromStdString(path));
    if (!api->library.load()) {
        report(error, "Could not load the FTDI D2XX library " + path + ": " + api->library.errorString().toStdString());
        return nullptr;
    }
    std::string missing;
    if (!api->resolveAll(missing)) {
        report(error, "The library " + path + " is not a usable FTDI D2XX library: it lacks " + missing + ".");
        api->library.unload();
        return nullptr;
    }
    return std::unique_ptr<D2xxBridge>(new D2xxBridge(std::move(api)));
}

D2xxBridge::D2xxBridge(std::unique_ptr<Api> api)
    : api_(std::move(api))
{
}

D2xxBridge::~D2xxBridge() = default;

void* D2xxBridge::libraryHandle(DeviceHandle handle) const
{
    const OpenDevice* device = devices_.find(handle);
    return device ? device->handle : nullptr;
}

FT_STATUS D2xxBridge::FT_ListDevices(void* arg1, void* arg2, uint32_t flags)
{
    return api_->listDevices(arg1, arg2, flags);
}

FT_STATUS D2xxBridge::FT_Open(int32_t index, DeviceHandle* handle)
{
    if (!handle)
        return FT_INVALID_PARAMETER;
    FtHandle device = nullptr;
    const FT_STATUS status = api_->open(index, &device);
    if (status == FT_OK)
        *handle = devices_.add(std::make_unique<OpenDevice>(device, api_->close));
    return status;
}

FT_STATUS D2xxBridge::FT_SetBaudRate(DeviceHandle handle, uint32_t baud)
{
    FtHandle device = libraryHandle(handle);
    return device ? api_->setBaudRate(device, baud) : FT_INVALID_HANDLE;
}

FT_STATUS D2xxBridge::FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity)
{
    FtHandle device = libraryHandle(handle);
    return device ? api_->setDataCharacteristics(device, bits, stopBits, parity) : FT_INVALID_HANDLE;
}

FT_STATUS D2xxBridge::FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff)
{
    FtHandle device = libraryHandle(handle);
    return device ? api_->setFlowControl(device, flow, xon, xoff) : FT_INVALID_HANDLE;
}

FT_STATUS D2xxBridge::FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs)
{
    FtHandle device = libraryHandle(handle);
    return device ? api_->setTimeouts(device, readMs, writeMs) : FT_INVALID_HANDLE;
}

FT_STATUS D2xxBridge::FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written)
{
    FtHandle device = libraryHandle(handle);
    // D2XX declares the buffer non-const but only reads it.
    return device ? api_->write(device, const_cast<void*>(buffer), count, written) : FT_INVALID_HANDLE;
}

FT_STATUS D2xxBridge::FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received)
{
    FtHandle device = libraryHandle(handle);
    return device ? api_->read(device, buffer, count, received) : FT_INVALID_HANDLE;
}

FT_STATUS D2xxBridge::FT_Purge(DeviceHandle handle, uint32_t mask)
{
    FtHandle device = libraryHandle(handle);
    return device ? api_->purge(device, mask) : FT_INVALID_HANDLE;
}

FT_STATUS D2xxBridge::FT_Close(DeviceHandle handle)
{
    const auto device = devices_.remove(handle);
    if (!device)
        return FT_INVALID_HANDLE;
    return api_->close(std::exchange(device->handle, nullptr));
}

} // namespace usblink
