#include "CommandSet.h"

#include <charconv>
#include <limits>

namespace usblink::commands {

std::string withArgument(std::string_view prefix, int value)
{
    return std::string(prefix) + std::to_string(value);
}

bool isQuery(std::string_view message)
{
    constexpr std::string_view Blanks = " \t";
    const auto first = message.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return false;
    message.remove_prefix(first);
    return message.substr(0, message.find_first_of(Blanks)).ends_with('?');
}

std::optional<int16_t> toInteger(std::string_view reply)
{
    const auto first = reply.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    reply = reply.substr(first, reply.find_last_not_of(' ') - first + 1);
    if (reply.front() == '+') {
        reply.remove_prefix(1);
        if (!reply.empty() && reply.front() == '-')
            return std::nullopt;
    }

    int value = 0;
    const auto [end, error] = std::from_chars(reply.data(), reply.data() + reply.size(), value);
    if (error != std::errc() || end != reply.data() + reply.size())
        return std::nullopt;
    if (value < std::numeric_limits<int16_t>::min() || value > std::numeric_limits<int16_t>::max())
        return std::nullopt;
    return static_cast<int16_t>(value);
}

} // namespace usblink::commands
