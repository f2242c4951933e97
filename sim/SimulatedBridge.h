#pragma once

#include <deque>
#include <string>

#include "HandleTable.h"
#include "ListingBridge.h"
#include "Instrument.h"

namespace sim {

// The bridge library with one R6140K attached, served in-process: what is
// written goes straight to the instrument, its replies wait to be read.
// Like a real bridge device it can be open through one handle at a time.
class SimulatedBridge : public usblink::ListingBridge<usblink::ListedDevice> {
public:
    static constexpr const char* Description = "R6140K Simulator";
    static constexpr const char* SerialNumber = "SIM00001";

    SimulatedBridge() = default;
    // An instrument with its own serial number, so its own residuals for
    // the simulated analyzer; the bridge is listed as ever.
    explicit SimulatedBridge(std::string instrumentSerialNumber)
        : instrument_(std::move(instrumentSerialNumber))
    {
    }

    Instrument& instrument() { return instrument_; }

    usblink::FT_STATUS FT_Open(int32_t index, usblink::DeviceHandle* handle) override;
    usblink::FT_STATUS FT_SetBaudRate(usblink::DeviceHandle handle, uint32_t baud) override;
    usblink::FT_STATUS FT_SetDataCharacteristics(
        usblink::DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity) override;
    usblink::FT_STATUS FT_SetFlowControl(
        usblink::DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
    usblink::FT_STATUS FT_SetTimeouts(usblink::DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override;
    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override;
    usblink::FT_STATUS FT_Purge(usblink::DeviceHandle handle, uint32_t mask) override;
    usblink::FT_STATUS FT_Close(usblink::DeviceHandle handle) override;

protected:
    std::vector<usblink::ListedDevice> attachedDevices() override;

private:
    struct Connection {
        std::deque<char> replyBytes;
    };

    usblink::FT_STATUS statusOf(usblink::DeviceHandle handle) const;

    Instrument instrument_ { SerialNumber };
    usblink::HandleTable<Connection> connections_;
    bool open_ = false;
};

} // namespace sim
