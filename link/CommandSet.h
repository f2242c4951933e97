#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The messages the panel sends, in the short forms of the instrument's
// mnemonics. Queries are answered by one reply line; nothing else is.
namespace usblink::commands {

inline constexpr const char* Blank = " ";
inline constexpr const char* ClearStatus = "SYST:CLE";
inline constexpr const char* Identify = "*IDN?";
inline constexpr const char* Reset = "*RST";
inline constexpr const char* ErrorQuery = ":SYST:ERR?";
inline constexpr const char* ReferenceLockQuery = ":SYST:REFL?";
inline constexpr const char* SaveStatePrefix = "SYST:SAVE ";
inline constexpr const char* RecallStatePrefix = "SYST:REC ";

// One adjustable setting: its query and the prefix of its setting message,
// which ends in the blank before the argument.
struct Setting {
    const char* query;
    const char* prefix;
};

inline constexpr Setting BasebandSwap { ":BAS:SWAP?", ":BAS:SWAP " };
inline constexpr Setting BasebandZin { ":BAS:ZINP?", ":BAS:ZINP " };
inline constexpr Setting BasebandIOffset { ":BAS:IOFF?", ":BAS:IOFF " };
inline constexpr Setting BasebandQOffset { ":BAS:QOFF?", ":BAS:QOFF " };
inline constexpr Setting ModulatorZin { ":MOD:ZINP?", ":MOD:ZINP " };
inline constexpr Setting ModulatorIAttenuator { ":MOD:IATT?", ":MOD:IATT " };
inline constexpr Setting ModulatorQAttenuator { ":MOD:QATT?", ":MOD:QATT " };
inline constexpr Setting ModulatorIInputOffset { ":MOD:IINP?", ":MOD:IINP " };
inline constexpr Setting ModulatorQInputOffset { ":MOD:QINP?", ":MOD:QINP " };
inline constexpr Setting ModulatorIOffset { ":MOD:IOFF?", ":MOD:IOFF " };
inline constexpr Setting ModulatorQOffset { ":MOD:QOFF?", ":MOD:QOFF " };

// The prefix followed by the value in decimal ("-" when negative, no "+",
// no leading zeros): ":MOD:IATT " and 40 give ":MOD:IATT 40".
std::string withArgument(std::string_view prefix, int value);

// A reply as a 16-bit signed integer: optional blanks around an optionally
// signed run of decimal digits. Anything else, the reply words
// "READ TIMEOUT" and "READ ERROR" among them, and any value outside
// -32768 to 32767 gives no value.
std::optional<int16_t> toInteger(std::string_view reply);

} // namespace usblink::commands
