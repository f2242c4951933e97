#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "BridgeLibrary.h"

namespace usblink {

// One device entry per attached bridge device, in the library's index
// order. An empty list stands for "no list": no device, or a failed listing.
using DeviceList = std::vector<std::string>;

// A reply as it was read: the line, or, when none came, why.
struct Reply {
    enum class Outcome { Answered, TimedOut, Failed };
    std::string text; // the line, or the word READ TIMEOUT or READ ERROR in its place
    Outcome outcome = Outcome::Answered;

    bool answered() const { return outcome == Outcome::Answered; }
};

// The seven routines that talk to the instrument through the bridge library.
// They keep no state between calls: the caller owns the handle. The event
// pump is the hook through which the windows stay responsive while a routine
// works; it is called at fixed points only.
class FTDI_Driver {
public:
    using EventPump = std::function<void()>;
    // A monotonic clock; its origin does not matter.
    using Clock = std::function<std::chrono::milliseconds()>;
    static std::chrono::milliseconds steadyClock();

    static constexpr std::size_t MaxDevices = 101;
    static constexpr uint32_t BaudRate = 57600;
    static constexpr uint32_t ReadTimeoutMs = 5000;
    static constexpr std::size_t CommandBufferSize = 256;
    static constexpr std::size_t MaxReplyLength = 32767;
    // A reply whose line has not ended this long after its first byte was
    // awaited is taken for none, however slowly its bytes still drip in:
    // enough for the longest line at 57600 baud behind a first byte that
    // took the whole per-byte time-out.
    static constexpr std::chrono::milliseconds ReplyDeadline { 15000 };

    static constexpr const char* ReadTimeout = "READ TIMEOUT";
    static constexpr const char* ReadError = "READ ERROR";

    FTDI_Driver(BridgeLibrary& library, EventPump processEvents, Clock clock = steadyClock);

    DeviceList EnumerateDevices();
    DeviceHandle OpenDevice(int32_t index);
    int16_t SendCommand(DeviceHandle handle, std::string command);
    // Drops whatever input waits unread. Called right before a query is
    // written, so that its reply is not taken from a late, cut or unasked line.
    int16_t PurgeInput(DeviceHandle handle);
    std::string ReadResponse(DeviceHandle handle) { return ReadReply(handle).text; }
    // The reply with how it ended: a line, a time-out or a failure.
    Reply ReadReply(DeviceHandle handle);
    int16_t CloseDevice(DeviceHandle handle);

    // Cuts a text after its last printable character (0x21 to 0x7E).
    static std::string TrimToPrintable(std::string_view text);

private:
    bool listText(uint32_t index, uint32_t which, std::string& text);

    BridgeLibrary& library_;
    EventPump processEvents_;
    Clock clock_;
};

} // namespace usblink
