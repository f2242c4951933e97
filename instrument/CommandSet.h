#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The messages the panel sends besides those of the settings (Settings.h),
// in the short forms of the instrument's mnemonics. Whether a message is
// answered is the message syntax's to say (expectsReply in MessageSyntax.h).
namespace instrument::commands {

inline constexpr const char* Blank = " ";
inline constexpr const char* ClearStatus = "SYST:CLE";
inline constexpr const char* Identify = "*IDN?";
inline constexpr const char* Reset = "*RST";
inline constexpr const char* ErrorQuery = ":SYST:ERR?";
inline constexpr const char* ReferenceLockQuery = ":SYST:REFL?";
inline constexpr const char* SaveStatePrefix = "SYST:SAVE ";
inline constexpr const char* RecallStatePrefix = "SYST:REC ";
// The user states the instrument stores and recalls.
inline constexpr int FirstUserState = 0;
inline constexpr int LastUserState = 9;

// What a device just opened is sent first: a blank line, which ends whatever
// part of a line the instrument may still hold, and the clearing of its
// status; then the identification query (Identify), whose reply names it.
inline constexpr std::array StartUpMessages = { Blank, ClearStatus };

// The prefix followed by the value in decimal ("-" when negative, no "+",
// no leading zeros): a prefix ":X:Y " and -40 give ":X:Y -40".
std::string withArgument(std::string_view prefix, int value);

// A reply as a 16-bit signed integer: optional blanks around an optionally
// signed run of decimal digits. Anything else, the reply words
// "READ TIMEOUT" and "READ ERROR" among them, and any value outside
// -32768 to 32767 gives no value.
std::optional<int16_t> toInteger(std::string_view reply);

} // namespace instrument::commands
