#include "CommandSet.h"

#include <charconv>
#include <limits>

#include "MessageSyntax.h"

namespace instrument::commands {

std::string withArgument(std::string_view prefix, int value)
{
    return std::string(prefix) + std::to_string(value);
}

std::optional<int16_t> toInteger(std::string_view reply)
{
    reply = trimBlanks(reply);
    if (reply.empty())
        return std::nullopt;
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

} // namespace instrument::commands
