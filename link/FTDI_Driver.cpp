#include "FTDI_Driver.h"

#include <array>
#include <utility>

namespace usblink {

namespace {

constexpr char Blank = ' ';
constexpr std::size_t ReplyByteBufferSize = 255;

bool isPrintable(char c)
{
    const auto code = static_cast<unsigned char>(c);
    return code > 0x20 && code <= 0x7E;
}

void* indexArgument(uint32_t index)
{
    return reinterpret_cast<void*>(static_cast<uintptr_t>(index));
}

} // namespace

FTDI_Driver::FTDI_Driver(BridgeLibrary& library, EventPump processEvents, Clock clock)
    : library_(library)
    , processEvents_(std::move(processEvents))
    , clock_(std::move(clock))
{
}

std::chrono::milliseconds FTDI_Driver::steadyClock()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

std::string FTDI_Driver::TrimToPrintable(std::string_view text)
{
    std::size_t length = text.size();
    while (length > 0 && !isPrintable(text[length - 1]))
        --length;
    return std::string(text.substr(0, length));
}

// Fetches the description or serial number of one device into text.
bool FTDI_Driver::listText(uint32_t index, uint32_t which, std::string& text)
{
    std::array<char, ListTextSize> buffer;
    buffer.fill(Blank);
    if (library_.FT_ListDevices(indexArgument(index), buffer.data(), FT_LIST_BY_INDEX | which) != FT_OK)
        return false;
    text = TrimToPrintable(std::string_view(buffer.data(), buffer.size()));
    return true;
}

DeviceList FTDI_Driver::EnumerateDevices()
{
    processEvents_();
    DeviceList devices;
    devices.reserve(MaxDevices);

    uint32_t count = 0;
    if (library_.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY) != FT_OK)
        return {};
    // The list has room for 101 devices; any beyond that are not offered.
    const uint32_t listed = std::min<uint32_t>(count, MaxDevices);
    for (uint32_t i = 0; i < listed; ++i) {
        processEvents_();
        std::string description;
        std::string serial;
        if (!listText(i, FT_OPEN_BY_DESCRIPTION, description) || !listText(i, FT_OPEN_BY_SERIAL_NUMBER, serial))
            return {};
        devices.push_back(description + Blank + serial);
    }
    return devices;
}

DeviceHandle FTDI_Driver::OpenDevice(int32_t index)
{
    processEvents_();
    DeviceHandle handle = -1;
    const bool opened = library_.FT_Open(index, &handle) == FT_OK && library_.FT_SetBaudRate(handle, BaudRate) == FT_OK
        && library_.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE) == FT_OK
        && library_.FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0) == FT_OK
        && library_.FT_SetTimeouts(handle, ReadTimeoutMs, 0) == FT_OK;
    if (!opened)
        return -1;
    processEvents_();
    return handle;
}

// Events are processed only once the line is written: a change handled there
// forms and writes its own message after this one, so messages leave in the
// order of the changes that caused them.
int16_t FTDI_Driver::SendCommand(DeviceHandle handle, std::string command)
{
    command += "\r\n";
    std::array<char, CommandBufferSize> buffer;
    // A cut command would be a different command: one that does not fit is not sent.
    if (command.size() > buffer.size())
        return -1;
    buffer.fill(Blank);
    std::copy(command.begin(), command.end(), buffer.begin());

    uint32_t written = 0;
    const FT_STATUS status = library_.FT_Write(handle, buffer.data(), static_cast<uint32_t>(command.size()), &written);
    processEvents_();
    return status == FT_OK ? 0 : -1;
}

int16_t FTDI_Driver::PurgeInput(DeviceHandle handle)
{
    return library_.FT_Purge(handle, FT_PURGE_RX) == FT_OK ? 0 : -1;
}

Reply FTDI_Driver::ReadReply(DeviceHandle handle)
{
    const Reply timedOut { ReadTimeout, Reply::Outcome::TimedOut };
    const Reply failed { ReadError, Reply::Outcome::Failed };
    const std::chrono::milliseconds deadline = clock_() + ReplyDeadline;
    std::array<char, ReplyByteBufferSize> buffer;
    buffer.fill(Blank);
    std::string reply;
    for (;;) {
        processEvents_();
        uint32_t received = 0;
        const FT_STATUS status = library_.FT_Read(handle, buffer.data(), 1, &received);
        if (status != FT_OK && status != FT_IO_ERROR)
            return failed;
        if (received == 0)
            return timedOut;
        reply.append(buffer.data(), std::min<std::size_t>(received, 1));
        if (reply.back() == '\n')
            return { TrimToPrintable(reply) };
        // A line that never ends must not grow without bound, nor one that
        // drips in hold the instrument for good.
        if (reply.size() >= MaxReplyLength)
            return failed;
        if (clock_() >= deadline)
            return timedOut;
    }
}

int16_t FTDI_Driver::CloseDevice(DeviceHandle handle)
{
    return library_.FT_Close(handle) == FT_OK ? 0 : -1;
}

} // namespace usblink
