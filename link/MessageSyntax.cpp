#include "MessageSyntax.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace usblink {

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

std::string shortForm(std::string_view longForm)
{
    std::string result;
    for (const char c : longForm)
        if (!std::islower(static_cast<unsigned char>(c)))
            result += c;
    return result;
}

bool matchesMnemonic(std::string_view given, std::string_view longForm)
{
    return equalsIgnoringCase(given, longForm) || equalsIgnoringCase(given, shortForm(longForm));
}

} // namespace

std::string_view trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

MessageParts splitMessage(std::string_view line)
{
    line = trimBlanks(line);
    const auto headerEnd = std::min(line.find_first_of(Blanks), line.size());
    MessageParts parts { .header = line.substr(0, headerEnd), .arguments = trimBlanks(line.substr(headerEnd)) };
    parts.isQuery = parts.header.ends_with('?');
    if (parts.isQuery)
        parts.header.remove_suffix(1);
    return parts;
}

bool matchesHeader(std::string_view given, std::string_view longForm)
{
    if (given.starts_with(':'))
        given.remove_prefix(1);
    while (true) {
        const auto givenEnd = given.find(':');
        const auto longEnd = longForm.find(':');
        if (!matchesMnemonic(given.substr(0, givenEnd), longForm.substr(0, longEnd)))
            return false;
        if (givenEnd == std::string_view::npos || longEnd == std::string_view::npos)
            return givenEnd == longEnd;
        given.remove_prefix(givenEnd + 1);
        longForm.remove_prefix(longEnd + 1);
    }
}

} // namespace usblink
