#include "MessageSyntax.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace instrument {

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

// Where the data that starts at text[at] ends: a string in single or double
// quotes (a doubled quote stands for one inside it), an arbitrary block with
// its length ("#15hello": one digit saying five, then five bytes), or an
// indefinite block ("#0...") to the end of the message. Anything else is
// one character.
std::size_t dataEnd(std::string_view text, std::size_t at)
{
    const char c = text[at];
    if (c == '"' || c == '\'') {
        for (std::size_t i = at + 1; i < text.size(); ++i) {
            if (text[i] != c)
                continue;
            if (i + 1 == text.size() || text[i + 1] != c)
                return i + 1;
            ++i; // a doubled quote
        }
        return text.size();
    }
    if (c != '#' || at + 1 >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at + 1])))
        return at + 1;
    const std::size_t digits = static_cast<std::size_t>(text[at + 1] - '0');
    if (digits == 0)
        return text.size();
    const std::string_view lengthText = text.substr(at + 2, digits);
    std::size_t length = 0;
    for (const char digit : lengthText) {
        if (!std::isdigit(static_cast<unsigned char>(digit)))
            return at + 1;
        length = std::min(length * 10 + static_cast<std::size_t>(digit - '0'), text.size());
    }
    return std::min(text.size(), at + 2 + lengthText.size() + length);
}

} // namespace

std::string_view trimBlanks(std::string_view text)
{
    const auto first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

std::vector<std::string_view> splitUnits(std::string_view message)
{
    std::vector<std::string_view> units;
    std::size_t start = 0;
    for (std::size_t at = 0; at < message.size();) {
        if (message[at] == ';') {
            units.push_back(message.substr(start, at - start));
            start = ++at;
        } else {
            at = dataEnd(message, at);
        }
    }
    units.push_back(message.substr(start));
    return units;
}

MessageParts splitMessage(std::string_view unit)
{
    unit = trimBlanks(unit);
    const auto headerEnd = std::min(unit.find_first_of(Blanks), unit.size());
    MessageParts parts { .header = unit.substr(0, headerEnd), .arguments = trimBlanks(unit.substr(headerEnd)) };
    parts.isQuery = parts.header.ends_with('?');
    if (parts.isQuery)
        parts.header.remove_suffix(1);
    return parts;
}

bool expectsReply(std::string_view message)
{
    return std::ranges::any_of(splitUnits(message), [](std::string_view unit) { return splitMessage(unit).isQuery; });
}

std::string messageProblem(std::string_view message)
{
    const auto unsendable = std::ranges::find_if(message, [](char c) {
        const auto code = static_cast<unsigned char>(c);
        return code >= 0x7F || (code < 0x20 && c != '\t');
    });
    if (unsendable != message.end()) {
        const char c = *unsendable;
        if (c == '\r' || c == '\n')
            return "it holds a line break";
        return static_cast<unsigned char>(c) >= 0x80 ? "it holds a character beyond ASCII" : "it holds a control character";
    }
    if (message.size() > MaxMessageLength)
        return "it is longer than the " + std::to_string(MaxMessageLength) + " characters the instrument takes";
    return {};
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

} // namespace instrument
