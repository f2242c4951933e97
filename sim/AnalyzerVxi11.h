#pragma once

#include <QHostAddress>
#include <QString>
#include <deque>
#include <memory>
#include <string>

#include "AnalyzerCommands.h"
#include "ClientSlots.h"
#include "InstrumentSession.h"
#include "ListingBridge.h"
#include "PortMapper.h"
#include "Vxi11Server.h"

namespace sim {

// The analyzer's commands as the one device of a bridge library, so that
// the project's VXI-11 server, which serves what an InstrumentSession talks
// to, serves the analyzer as it serves the instrument. A reply waiting for
// its sweep is held back by the read, which lets the event loop run
// meanwhile; a hang-up reads as the device gone.
class AnalyzerBridge : public usblink::ListingBridge<usblink::ListedDevice> {
public:
    explicit AnalyzerBridge(AnalyzerCommands& commands)
        : commands_(commands)
    {
    }

    usblink::FT_STATUS FT_Open(int32_t index, usblink::DeviceHandle* handle) override;
    usblink::FT_STATUS FT_SetBaudRate(usblink::DeviceHandle handle, uint32_t) override { return statusOf(handle); }
    usblink::FT_STATUS FT_SetDataCharacteristics(usblink::DeviceHandle handle, uint8_t, uint8_t, uint8_t) override
    {
        return statusOf(handle);
    }
    usblink::FT_STATUS FT_SetFlowControl(usblink::DeviceHandle handle, uint16_t, uint8_t, uint8_t) override
    {
        return statusOf(handle);
    }
    usblink::FT_STATUS FT_SetTimeouts(usblink::DeviceHandle handle, uint32_t, uint32_t) override { return statusOf(handle); }
    usblink::FT_STATUS FT_Write(usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
    usblink::FT_STATUS FT_Read(usblink::DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override;
    usblink::FT_STATUS FT_Purge(usblink::DeviceHandle handle, uint32_t mask) override;
    usblink::FT_STATUS FT_Close(usblink::DeviceHandle handle) override;

protected:
    std::vector<usblink::ListedDevice> attachedDevices() override;

private:
    static constexpr usblink::DeviceHandle OpenHandle = 1;
    struct Pending {
        std::string bytes;
        std::chrono::milliseconds due;
    };

    usblink::FT_STATUS statusOf(usblink::DeviceHandle handle) const
    {
        return open_ && handle == OpenHandle ? usblink::FT_OK : usblink::FT_INVALID_HANDLE;
    }

    AnalyzerCommands& commands_;
    bool open_ = false;
    bool hungUp_ = false;
    std::string partialLine_;
    std::deque<Pending> replies_;
};

// The analyzer served over VXI-11 as device inst0, registered with the
// port mapper when asked.
class AnalyzerVxi11 {
public:
    explicit AnalyzerVxi11(AnalyzerCommands& commands);
    // Empty when it serves, or else why not.
    QString listen(const QHostAddress& address, bool registerWithPortMapper);
    quint16 port() const { return server_.port(); }

private:
    AnalyzerBridge bridge_;
    session::InstrumentSession session_;
    remote::ClientSlots slots_;
    remote::Vxi11Server server_;
    std::unique_ptr<remote::PortMapperRegistration> registration_;
};

} // namespace sim
