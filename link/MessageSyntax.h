#pragma once

#include <string_view>

// How the instrument reads a message, shared by the simulated instrument and
// by whatever must recognise a message in any form the instrument accepts:
// blanks around it, a header naming the command, a '?' that makes it a
// query, and arguments after the first blank. A header matches a command in
// short or long form, in any case, with or without a leading colon.
namespace usblink {

inline constexpr std::string_view Blanks = " \t";

std::string_view trimBlanks(std::string_view text);

struct MessageParts {
    std::string_view header; // without the query's '?'
    bool isQuery = false;
    std::string_view arguments; // trimmed
};

// Splits a line given without its terminator.
MessageParts splitMessage(std::string_view line);

// Whether a header as sent names the command whose long-form header is
// given: each node in short form (the capitals of the long form, and any
// non-letters such as the '*' of common commands) or in long form.
bool matchesHeader(std::string_view given, std::string_view longForm);

} // namespace usblink
