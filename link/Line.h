#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>

#include "BridgeLibrary.h"

class QDeadlineTimer;
class QIODevice;

namespace usblink {

// One open line of a LineBackend: a byte stream on a Qt device (a serial
// port, a network connection) that behaves to the driver as a D2XX device
// does. Line does what every transport does alike: the read with its
// per-byte time-out, the write with its deadline, the bound on unread input
// and the end of a line gone for good. A transport supplies the device and
// the hooks below, and tells retire() when its device has gone.
class Line {
public:
    // Unread input is held up to this many bytes; replies are far shorter.
    static constexpr std::size_t InputBound = 4096;

    // The most unread input the line has held at once, and what it dropped
    // for want of room.
    struct InputCounts {
        std::size_t mostHeld = 0;
        std::size_t dropped = 0;
    };

    Line();
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;
    virtual ~Line() = default;

    void setTimeouts(uint32_t readMs, uint32_t writeMs);
    // Waits in slices, processing pending events through pump between them.
    FT_STATUS read(char* bytes, uint32_t count, uint32_t& received, const std::function<void()>& pump = {});
    FT_STATUS write(const char* bytes, uint32_t count, uint32_t& written);
    FT_STATUS purge(bool input, bool output);

    // The line settings, as the transport applies them.
    virtual FT_STATUS setBaudRate(uint32_t baud) = 0;
    virtual FT_STATUS setDataCharacteristics(uint8_t bits, uint8_t stopBits, uint8_t parity) = 0;
    virtual FT_STATUS setFlowControl(uint16_t flow) = 0;

    bool gone() const { return gone_; }
    // Where a line gone for good went; empty while it is there.
    std::string lossReason() const;
    // What the line last did that the user should know of while it is up;
    // empty when nothing.
    virtual std::string notice() const { return {}; }
    const InputCounts& inputCounts() const { return inputCounts_; }
    // Called once, when the line goes for good.
    void whenGone(std::function<void()> report) { onGone_ = std::move(report); }
    // Ends the line on purpose, also in the middle of a read, which then
    // returns as soon as it can; no loss is reported.
    void close();

protected:
    // Starts counting and bounding the device's input; a transport calls it
    // once its device is built.
    void watchInput();
    // Takes the line for gone: stops it and reports the loss, once only.
    void retire();
    uint32_t writeTimeoutMs() const { return writeTimeoutMs_; }

private:
    // The device the line reads and writes.
    virtual QIODevice& device() = 0;
    // Input has arrived on the device; a transport that decodes it takes it
    // here, before it is counted as unread.
    virtual void takeArrivals() { }
    // Unread input: how much there is, taking some of it, dropping all of
    // it (returning how much went).
    virtual std::size_t pending() const = 0;
    virtual std::size_t takeInput(char* into, std::size_t count) = 0;
    virtual std::size_t dropInput() = 0;
    // Sends count bytes before the deadline; how many went out.
    virtual uint32_t send(const char* bytes, uint32_t count, const QDeadlineTimer& deadline) = 0;
    // Drops what a write did not send in time and tells what that means:
    // FT_IO_ERROR, or FT_DEVICE_NOT_FOUND for a line taken for gone.
    virtual FT_STATUS abandonWrite() = 0;
    // Drops unread input, unsent output or both; false if that failed.
    virtual bool clear(bool input, bool output) = 0;
    // FT_OK, FT_IO_ERROR after a failure on a line still there, or
    // FT_DEVICE_NOT_FOUND for a device gone for good.
    virtual FT_STATUS status() = 0;
    // Stops a line gone for good at once, dropping whatever is queued.
    virtual void stop() = 0;
    virtual std::string goneReason() const = 0;

    void noteInput();
    bool waitForInput(const QDeadlineTimer& deadline, const std::function<void()>& pump);
    FT_STATUS settle();
    FT_STATUS conclude(FT_STATUS status);

    uint32_t readTimeoutMs_ = 0;
    uint32_t writeTimeoutMs_ = 0;
    bool reading_ = false; // within read(), whatever arrives is the reply being read
    bool midLine_ = false; // the last read ended within a line
    bool gone_ = false;
    InputCounts inputCounts_;
    std::function<void()> onGone_;
};

} // namespace usblink
