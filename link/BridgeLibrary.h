#pragma once

#include <cstddef>
#include <cstdint>

// The namespace is not "link": POSIX declares a function of that name.
namespace usblink {

// Status codes and flags as FTDI's D2XX library defines them.
using FT_STATUS = uint32_t;
inline constexpr FT_STATUS FT_OK = 0;
inline constexpr FT_STATUS FT_INVALID_HANDLE = 1;
inline constexpr FT_STATUS FT_DEVICE_NOT_FOUND = 2;
inline constexpr FT_STATUS FT_DEVICE_NOT_OPENED = 3;
inline constexpr FT_STATUS FT_IO_ERROR = 4;
inline constexpr FT_STATUS FT_INVALID_PARAMETER = 6;
inline constexpr FT_STATUS FT_OTHER_ERROR = 18;

inline constexpr uint32_t FT_LIST_NUMBER_ONLY = 0x80000000u;
inline constexpr uint32_t FT_LIST_BY_INDEX = 0x40000000u;
inline constexpr uint32_t FT_OPEN_BY_SERIAL_NUMBER = 1u;
inline constexpr uint32_t FT_OPEN_BY_DESCRIPTION = 2u;

inline constexpr uint8_t FT_BITS_8 = 8;
inline constexpr uint8_t FT_STOP_BITS_1 = 0;
inline constexpr uint8_t FT_PARITY_NONE = 0;
inline constexpr uint16_t FT_FLOW_NONE = 0;
inline constexpr uint16_t FT_FLOW_RTS_CTS = 0x0100;
inline constexpr uint16_t FT_FLOW_XON_XOFF = 0x0400;

inline constexpr uint32_t FT_PURGE_RX = 1;
inline constexpr uint32_t FT_PURGE_TX = 2;

// The size of the buffer a listing call fills with a description or a
// serial number, NUL included.
inline constexpr std::size_t ListTextSize = 256;

// Device handle as the panel holds it: a small token, never a pointer.
// An open device never has the handle 0 or -1; a closed or unknown handle
// makes every call fail with FT_INVALID_HANDLE.
using DeviceHandle = int32_t;

// The ten operations of the bridge library that the link uses, shaped like
// the D2XX calls so that every backend (the operating system's serial ports,
// D2XX itself, the simulated instrument, test fakes) sits behind one seam.
class BridgeLibrary {
public:
    virtual ~BridgeLibrary() = default;

    // Three uses, as in D2XX:
    //  - (uint32_t* count, nullptr, FT_LIST_NUMBER_ONLY)
    //  - ((void*)(uintptr_t)index, char buffer[ListTextSize], FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION)
    //  - ((void*)(uintptr_t)index, char buffer[ListTextSize], FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER)
    // Texts come back NUL-terminated at the start of the buffer.
    virtual FT_STATUS FT_ListDevices(void* arg1, void* arg2, uint32_t flags) = 0;
    virtual FT_STATUS FT_Open(int32_t index, DeviceHandle* handle) = 0;
    virtual FT_STATUS FT_SetBaudRate(DeviceHandle handle, uint32_t baud) = 0;
    virtual FT_STATUS FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits,
                                                uint8_t parity) = 0;
    virtual FT_STATUS FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon,
                                        uint8_t xoff) = 0;
    // A read that receives nothing for readMs returns FT_OK with 0 bytes.
    virtual FT_STATUS FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs) = 0;
    virtual FT_STATUS FT_Write(DeviceHandle handle, const void* buffer, uint32_t count,
                               uint32_t* written) = 0;
    virtual FT_STATUS FT_Read(DeviceHandle handle, void* buffer, uint32_t count,
                              uint32_t* received) = 0;
    // Drops what is waiting to be read (FT_PURGE_RX) or written (FT_PURGE_TX).
    virtual FT_STATUS FT_Purge(DeviceHandle handle, uint32_t mask) = 0;
    virtual FT_STATUS FT_Close(DeviceHandle handle) = 0;
};

}  // namespace usblink
