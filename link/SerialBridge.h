#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "HandleTable.h"
#include "LinkHealth.h"
#include "ListingBridge.h"

class QSerialPort;

namespace usblink {

// A serial port as the bridge lists it, with the path that opens it.
struct SerialPortEntry {
    std::string description;
    std::string serial;
    std::string portPath;
};

// The default backend: the operating system's serial ports through Qt
// Serial Port. Lists the USB serial ports, then one device per extra port
// path (a pseudo-terminal of the simulated instrument, say). Use it on one
// thread that Qt knows, the GUI thread.
class SerialBridge : public ListingBridge<SerialPortEntry>, public LinkHealth {
public:
    // Unread input is held up to this many bytes; replies are far shorter.
    static constexpr std::size_t InputBound = 4096;

    // The most unread input a port has held at once, and what it dropped for
    // want of room.
    struct InputCounts {
        std::size_t mostHeld = 0;
        std::size_t dropped = 0;
    };

    explicit SerialBridge(std::vector<std::string> extraPorts = {});
    ~SerialBridge() override;

    FT_STATUS FT_Open(int32_t index, DeviceHandle* handle) override;
    FT_STATUS FT_SetBaudRate(DeviceHandle handle, uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override;
    FT_STATUS FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_Purge(DeviceHandle handle, uint32_t mask) override;
    FT_STATUS FT_Close(DeviceHandle handle) override;

    // Why the last FT_Open failed, in words for the user: a missing port, the
    // group to join for a permission problem, the program that holds a busy
    // port; empty after a success.
    std::string openFailure() const override { return lastOpenError_; }
    std::string lossReason(DeviceHandle handle) const override;
    // Opening a serial port does not wait.
    void limitOpenWait(uint32_t) override { }
    void watchLosses(LossObserver observer) override { lossObserver_ = std::move(observer); }

    InputCounts inputCounts(DeviceHandle handle) const;

protected:
    std::vector<SerialPortEntry> attachedDevices() override;

private:
    struct OpenPort;
    // The port behind a handle and the status a call on it meets first.
    struct PortLookup {
        OpenPort* open;
        FT_STATUS status;
    };

    PortLookup lookUp(DeviceHandle handle) const;
    std::string openErrorText(const QSerialPort& port, const std::string& path) const;

    std::vector<std::string> extraPorts_;
    HandleTable<OpenPort> ports_;
    std::string lastOpenError_;
    LossObserver lossObserver_;
};

} // namespace usblink
