#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The messages the panel sends besides those of the settings (link/Settings.h),
// in the short forms of the instrument's mnemonics. Queries are answered by
// one reply line; nothing else is.
namespace usblink::commands {

inline constexpr const char* Blank = " ";
inline constexpr const char* ClearStatus = "SYST:CLE";
inline constexpr const char* Identify = "*IDN?";
inline constexpr const char* Reset = "*RST";
inline constexpr const char* ErrorQuery = ":SYST:ERR?";
inline constexpr const char* ReferenceLockQuery = ":SYST:REFL?";
inline constexpr const char* SaveStatePrefix = "SYST:SAVE ";
inline constexpr const char* RecallStatePrefix = "SYST:REC ";

// The prefix followed by the value in decimal ("-" when negative, no "+",
// no leading zeros): a prefix ":X:Y " and -40 give ":X:Y -40".
std::string withArgument(std::string_view prefix, int value);

// Whether the instrument answers the message: its header, the text up to the
// first blank, ends in "?" (":MOD:IATT?", "*IDN?").
bool isQuery(std::string_view message);

// A reply as a 16-bit signed integer: optional blanks around an optionally
// signed run of decimal digits. Anything else, the reply words
// "READ TIMEOUT" and "READ ERROR" among them, and any value outside
// -32768 to 32767 gives no value.
std::optional<int16_t> toInteger(std::string_view reply);

} // namespace usblink::commands
