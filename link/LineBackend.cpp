#include "LineBackend.h"

#include <utility>

namespace usblink {

DeviceHandle LineBackend::adopt(std::unique_ptr<Line> line)
{
    openFailure_.clear();
    Line& adopted = *line;
    const DeviceHandle handle = lines_.add(std::move(line));
    adopted.whenGone([this, handle] {
        if (lossObserver_)
            lossObserver_(handle);
    });
    return handle;
}

// Calls call on the line behind handle, unless there is none
// (FT_INVALID_HANDLE) or it has gone for good (FT_DEVICE_NOT_FOUND).
template <typename Call> FT_STATUS LineBackend::onLine(DeviceHandle handle, Call call)
{
    Line* line = lines_.find(handle);
    if (!line)
        return FT_INVALID_HANDLE;
    return line->gone() ? FT_DEVICE_NOT_FOUND : call(*line);
}

FT_STATUS LineBackend::FT_SetBaudRate(DeviceHandle handle, uint32_t baud)
{
    return onLine(handle, [&](Line& line) { return line.setBaudRate(baud); });
}

FT_STATUS LineBackend::FT_SetDataCharacteristics(DeviceHandle handle, uint8_t bits, uint8_t stopBits, uint8_t parity)
{
    return onLine(handle, [&](Line& line) { return line.setDataCharacteristics(bits, stopBits, parity); });
}

// The XON and XOFF characters are not passed on: Qt and RFC 2217 know only
// the standard ones.
FT_STATUS LineBackend::FT_SetFlowControl(DeviceHandle handle, uint16_t flow, uint8_t, uint8_t)
{
    return onLine(handle, [&](Line& line) { return line.setFlowControl(flow); });
}

FT_STATUS LineBackend::FT_SetTimeouts(DeviceHandle handle, uint32_t readMs, uint32_t writeMs)
{
    return onLine(handle, [&](Line& line) {
        line.setTimeouts(readMs, writeMs);
        return FT_OK;
    });
}

FT_STATUS LineBackend::FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written)
{
    if (!written || (!buffer && count > 0))
        return FT_INVALID_PARAMETER;
    *written = 0;
    return onLine(handle, [&](Line& line) { return line.write(static_cast<const char*>(buffer), count, *written); });
}

// Unlike the other calls, a read goes to a line gone for good too: what it
// received before it went is still the reply. Events processed while it
// waits may close the line: it is kept until the read has returned.
FT_STATUS LineBackend::FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received)
{
    if (!received || (!buffer && count > 0))
        return FT_INVALID_PARAMETER;
    *received = 0;
    Line* line = lines_.find(handle);
    if (!line)
        return FT_INVALID_HANDLE;
    ++readsRunning_;
    const FT_STATUS status = line->read(static_cast<char*>(buffer), count, *received, pump_);
    if (--readsRunning_ == 0)
        closedWhileRead_.clear();
    return status;
}

FT_STATUS LineBackend::FT_Purge(DeviceHandle handle, uint32_t mask)
{
    return onLine(handle, [&](Line& line) {
        if (mask & ~(FT_PURGE_RX | FT_PURGE_TX))
            return FT_INVALID_PARAMETER;
        return line.purge((mask & FT_PURGE_RX) != 0, (mask & FT_PURGE_TX) != 0);
    });
}

// The line ends with its handle; a line closed on purpose reports no loss.
FT_STATUS LineBackend::FT_Close(DeviceHandle handle)
{
    std::unique_ptr<Line> line = lines_.remove(handle);
    if (!line)
        return FT_INVALID_HANDLE;
    if (readsRunning_ > 0) {
        line->close();
        closedWhileRead_.push_back(std::move(line));
    }
    return FT_OK;
}

std::string LineBackend::lossReason(DeviceHandle handle) const
{
    const Line* line = lines_.find(handle);
    return line ? line->lossReason() : std::string();
}

std::string LineBackend::notice(DeviceHandle handle) const
{
    const Line* line = lines_.find(handle);
    return line ? line->notice() : std::string();
}

LineBackend::InputCounts LineBackend::inputCounts(DeviceHandle handle) const
{
    const Line* line = lines_.find(handle);
    return line ? line->inputCounts() : InputCounts {};
}

} // namespace usblink
