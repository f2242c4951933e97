#pragma once

#include <memory>
#include <string>

#include "BridgeLibrary.h"
#include "HandleTable.h"

namespace usblink {

// FTDI's own D2XX library, loaded at run time so that the program starts
// and runs without it. D2XX's pointer handles stay inside; callers see small
// tokens from a HandleTable.
class D2xxBridge : public BridgeLibrary {
public:
    // libftd2xx.so, libftd2xx.dylib or FTD2XX.DLL, by platform.
    static std::string defaultLibraryName();

    // Loads the library and resolves its ten calls. On failure returns
    // nullptr and, if error is given, a text that names the file.
    static std::unique_ptr<D2xxBridge> load(
        const std::string& path = defaultLibraryName(), std::string* error = nullptr);

    ~D2xxBridge() override;

    FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) override;
    FT_STATUS FT_Open(int32_t index, DeviceHandle* handle) override;
    FT_STATUS FT_SetBaudRate(DeviceHandle handle, uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override;
    FT_STATUS FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_Purge(DeviceHandle handle, uint32_t mask) override;
    FT_STATUS FT_Close(DeviceHandle handle) override;

private:
    struct Api;
    struct OpenDevice;

    explicit D2xxBridge(std::unique_ptr<Api> api);
    void* libraryHandle(DeviceHandle handle) const;

    std::unique_ptr<Api> api_;
    // Declared after api_ so that devices still open are closed while the
    // library's calls are still at hand.
    HandleTable<OpenDevice> devices_;
};

} // namespace usblink
