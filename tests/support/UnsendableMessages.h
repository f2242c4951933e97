#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace test_support {

// Messages the instrument could not take as they stand, as a client's bytes:
// what the SCPI socket and the traffic log's command line alike refuse,
// with a word of the reason.
struct Unsendable {
    const char* name;
    std::string bytes;
    const char* reason;
};

inline const std::vector<Unsendable> UnsendableMessages = {
    { "Nul", std::string("\0*CLS", 5), "control character" },
    { "Escape", "\x1b[31m*IDN?", "control character" },
    { "CarriageReturnInside", "*CLS\r*RST", "line break" },
    { "ByteFF", "\xff*IDN?", "beyond ASCII" },
    { "InvalidUtf8", "*IDN\xc3\x28?", "beyond ASCII" },
    { "UnicodeMinus", ":MOD:IOFF \xe2\x88\x92" "100", "beyond ASCII" },
    { "QueryOf255Bytes", ":" + std::string(253, 'X') + "?", "longer than the 254 characters" },
    { "SettingOf256Bytes", ":MOD:IATT " + std::string(246, '1'), "longer than the 254 characters" },
};

inline void PrintTo(const Unsendable& message, std::ostream* out)
{
    *out << message.name;
}

} // namespace test_support
