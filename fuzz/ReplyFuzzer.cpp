// The reply path on arbitrary bytes from the line: FTDI_Driver::ReadResponse
// over a scripted bridge, reply after reply until the bytes are used up, and
// what the panel makes of each reply with TrimToPrintable and toInteger. The
// first byte chooses how the rest arrives: bit 2 set delivers every byte with
// FT_IO_ERROR, and its value modulo 3 ends the line in silence, in
// FT_IO_ERROR without a byte, or in another failure.

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <string_view>

#include "CommandSet.h"
#include "FTDI_Driver.h"
#include "ScriptedBridge.h"

using usblink::FTDI_Driver;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool isPrintable(char c)
{
    return c > 0x20 && c <= 0x7E;
}

// The trimmed text is the text up to its last printable character.
void checkTrimmed(std::string_view text)
{
    const std::string trimmed = FTDI_Driver::TrimToPrintable(text);
    require(text.starts_with(trimmed));
    require(trimmed.empty() || isPrintable(trimmed.back()));
    for (char c : text.substr(trimmed.size()))
        require(!isPrintable(c));
}

bool isDecimal(std::string_view text)
{
    if (!text.empty() && (text.front() == '+' || text.front() == '-'))
        text.remove_prefix(1);
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// toInteger against the C library's own reading of the same digits, with
// the blanks around them (spaces and tabs) left out.
void checkInteger(std::string_view text)
{
    const auto value = instrument::commands::toInteger(text);
    const auto first = text.find_first_not_of(" \t");
    const std::string core(first == std::string_view::npos
            ? std::string_view {}
            : text.substr(first, text.find_last_not_of(" \t") - first + 1));
    if (!isDecimal(core)) {
        require(!value);
        return;
    }
    errno = 0;
    const long long parsed = std::strtoll(core.c_str(), nullptr, 10);
    const bool fits
        = errno == 0 && parsed >= std::numeric_limits<int16_t>::min() && parsed <= std::numeric_limits<int16_t>::max();
    require(value.has_value() == fits);
    require(!fits || *value == parsed);
}

void checkReply(const std::string& reply)
{
    require(reply.size() <= FTDI_Driver::MaxReplyLength);
    require(reply.find('\n') == std::string::npos);
    if (reply != FTDI_Driver::ReadError && reply != FTDI_Driver::ReadTimeout)
        require(FTDI_Driver::TrimToPrintable(reply) == reply);
    checkInteger(reply);
}

const test_support::ScriptedBridge::ReadStep LineEnds[] = {
    { usblink::FT_OK, std::nullopt },
    { usblink::FT_IO_ERROR, std::nullopt },
    { usblink::FT_OTHER_ERROR, std::nullopt },
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const uint8_t mode = data[0];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
    checkTrimmed(bytes);
    checkInteger(bytes);

    test_support::ScriptedBridge bridge;
    bridge.receive(bytes, (mode & 4) != 0 ? usblink::FT_IO_ERROR : usblink::FT_OK);
    bridge.reads.push_back(LineEnds[mode % std::size(LineEnds)]);
    FTDI_Driver driver(bridge, [] {});
    while (!bridge.reads.empty())
        checkReply(driver.ReadResponse(bridge.openHandle));
    // With every byte taken the line is silent.
    require(driver.ReadResponse(bridge.openHandle) == FTDI_Driver::ReadTimeout);
    return 0;
}
