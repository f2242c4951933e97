#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "HandleTable.h"
#include "Line.h"
#include "LinkHealth.h"

namespace usblink {

// A backend whose devices are byte streams on Qt devices: it answers the
// D2XX-shaped calls on its open Lines, by handle, and tells of their health.
// A transport adds the listing and the opening (FT_ListDevices, FT_Open,
// limitOpenWait) and hands each opened line to adopt(). Use it on one thread
// that Qt knows, the GUI thread.
class LineBackend : public BridgeLibrary, public LinkHealth {
public:
    static constexpr std::size_t InputBound = Line::InputBound;
    using InputCounts = Line::InputCounts;

    FT_STATUS FT_SetBaudRate(DeviceHandle handle, uint32_t baud) override;
    FT_STATUS FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity) override;
    FT_STATUS FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t xon, uint8_t xoff) override;
    FT_STATUS FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs) override;
    FT_STATUS FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override;
    FT_STATUS FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received) override;
    FT_STATUS FT_Purge(DeviceHandle handle, uint32_t mask) override;
    FT_STATUS FT_Close(DeviceHandle handle) override;

    std::string openFailure() const override { return openFailure_; }
    std::string lossReason(DeviceHandle handle) const override;
    std::string notice(DeviceHandle handle) const override;
    void watchLosses(LossObserver observer) override { lossObserver_ = std::move(observer); }
    void pumpWhileWaiting(std::function<void()> pump) override { pump_ = std::move(pump); }

    InputCounts inputCounts(DeviceHandle handle) const;

protected:
    // Takes an opened line under a new handle; its loss goes to the loss
    // observer. Clears the last open failure.
    DeviceHandle adopt(std::unique_ptr<Line> line);
    // Why the FT_Open under way failed, for openFailure().
    void failOpen(std::string reason) { openFailure_ = std::move(reason); }

private:
    template <typename Call> FT_STATUS onLine(DeviceHandle handle, Call call);

    std::string openFailure_;
    LossObserver lossObserver_;
    std::function<void()> pump_;
    HandleTable<Line> lines_;
    int readsRunning_ = 0;
    std::vector<std::unique_ptr<Line>> closedWhileRead_; // ended once no read runs

};

} // namespace usblink
