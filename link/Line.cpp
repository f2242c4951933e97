#include "Line.h"

#include <QDeadlineTimer>
#include <QIODevice>
#include <QScopedValueRollback>

#include <algorithm>
#include <utility>

#include "LineWaits.h"
#include "LinkHealth.h"

namespace usblink {

Line::Line()
{
    setTimeouts(DefaultWaitMs, DefaultWaitMs);
}

void Line::setTimeouts(uint32_t readMs, uint32_t writeMs)
{
    readTimeoutMs_ = readMs;
    writeTimeoutMs_ = writeMs == 0 ? DefaultWaitMs : writeMs;
}

void Line::watchInput()
{
    QObject::connect(&device(), &QIODevice::readyRead, &device(), [this] { noteInput(); });
}

// Input that fills the bound between reads is no reply (one query is
// outstanding at a time and replies are short): all of it is dropped, which
// also lets the device read on instead of leaving the rest to pile up below.
// Between the reads of one line, though, what comes is that line: dropped,
// an over-long line would look shorter than it is, and end in a time-out
// rather than at the reader's length cap.
void Line::noteInput()
{
    takeArrivals();
    const std::size_t held = pending();
    inputCounts_.mostHeld = std::max(inputCounts_.mostHeld, held);
    if (!reading_ && !midLine_ && held >= InputBound)
        inputCounts_.dropped += dropInput();
}

// Bytes already taken are returned at once: waitForReadyRead only waits for
// new data and would sit out the whole time-out over them.
FT_STATUS Line::read(char* bytes, uint32_t count, uint32_t& received, const std::function<void()>& pump)
{
    const QScopedValueRollback readingNow(reading_, true);
    const QDeadlineTimer deadline(readTimeoutMs_);
    while (received < count && (pending() > 0 || waitForInput(deadline, pump)))
        received += static_cast<uint32_t>(takeInput(bytes + received, count - received));
    midLine_ = received > 0 && bytes[received - 1] != '\n';
    const FT_STATUS after = settle();
    return received == 0 ? after : FT_OK;
}

// A wait that brought nothing to read (telnet commands only, say) is waited
// again only while time is left. With a pump, the wait is cut into slices
// with events processed between them.
bool Line::waitForInput(const QDeadlineTimer& deadline, const std::function<void()>& pump)
{
    const int slice = pump ? LinkHealth::WaitSliceMs : remainingMs(deadline);
    while (!gone_) {
        const bool arrived = device().waitForReadyRead(std::min(remainingMs(deadline), slice));
        if (status() != FT_OK)
            return false;
        if (arrived)
            return pending() > 0 || !deadline.hasExpired();
        if (deadline.hasExpired())
            return false;
        pump();
    }
    return false;
}

// A write not taken within its time-out fails, and its rest is dropped
// rather than sent later, run into the next message.
FT_STATUS Line::write(const char* bytes, uint32_t count, uint32_t& written)
{
    if (const FT_STATUS before = settle(); before != FT_OK)
        return before;
    written = send(bytes, count, QDeadlineTimer(writeTimeoutMs_));
    return written == count ? FT_OK : conclude(abandonWrite());
}

FT_STATUS Line::purge(bool input, bool output)
{
    midLine_ = midLine_ && !input;
    if (clear(input, output))
        return FT_OK;
    return settle() == FT_DEVICE_NOT_FOUND ? FT_DEVICE_NOT_FOUND : FT_IO_ERROR;
}

std::string Line::lossReason() const
{
    return gone_ ? goneReason() : std::string();
}

// How the line stands after a call. A line gone for good is retired and
// reports FT_DEVICE_NOT_FOUND: the driver takes FT_IO_ERROR with no byte for
// a time-out, as D2XX has it, so a line that can never answer again must not
// report that: the operator is to see READ ERROR, not READ TIMEOUT.
FT_STATUS Line::settle()
{
    return conclude(gone_ ? FT_DEVICE_NOT_FOUND : status());
}

FT_STATUS Line::conclude(FT_STATUS status)
{
    if (status == FT_DEVICE_NOT_FOUND)
        retire();
    return status;
}

void Line::close()
{
    onGone_ = nullptr;
    retire();
}

// A line gone for good stays gone: stopping it drops what is still queued
// and stops the event loop turning to it again.
void Line::retire()
{
    if (std::exchange(gone_, true))
        return;
    stop();
    if (onGone_)
        onGone_();
}

} // namespace usblink
