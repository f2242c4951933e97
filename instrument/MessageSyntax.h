#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How the instrument reads a message, shared by the simulated instrument and
// by whatever must recognise a message in any form the instrument accepts.
// A message (one line, given without its terminator) is one or more units
// separated by ';'; a ';' inside a quoted string or an arbitrary block is
// data, not a separator. A unit is a header naming the command, a '?' ending
// the header for a query, and arguments after the first blank. A header
// matches a command in short or long form, in any case, with or without a
// leading colon.
namespace instrument {

// The one rule for blanks: around a message, between header and arguments,
// around a reply.
inline constexpr std::string_view Blanks = " \t";

std::string_view trimBlanks(std::string_view text);

// The units of a message, each as it stands (blanks included).
std::vector<std::string_view> splitUnits(std::string_view message);

struct MessageParts {
    std::string_view header; // without the query's '?'
    bool isQuery = false;
    std::string_view arguments; // trimmed
};

// Splits one unit.
MessageParts splitMessage(std::string_view unit);

// Whether the instrument answers the message with a reply line: any of its
// units is a query (":MOD:IATT?", "*IDN?", ":MOD:IATT 8;:MOD:IATT?"); a '?'
// anywhere else ("X 1?", a '?' in a quoted string) asks nothing.
bool expectsReply(std::string_view message);

// The longest message the instrument's command buffer takes: 256 bytes with
// the CR LF that ends it.
inline constexpr std::size_t MaxMessageLength = 254;

// Why a message may not be sent as it stands, or empty when it may: it holds
// a line break or another control character (TAB is a blank), a byte beyond
// ASCII, or is longer than the command buffer. Cut, or with its bytes
// changed, it would be another message.
std::string messageProblem(std::string_view message);

// Whether a header as sent names the command whose long-form header is
// given: each node in short form (the capitals of the long form, and any
// non-letters such as the '*' of common commands) or in long form.
bool matchesHeader(std::string_view given, std::string_view longForm);

} // namespace instrument
