#pragma once

#include <string>
#include <string_view>

namespace instrument {

// A line as text that cannot be taken for anything else: every byte outside
// printable ASCII, and the backslash itself, written as an escape ("\r",
// "\n", "\t", "\x1b", "\\"), so that a CR, TAB or ESC in an instrument's or
// a client's text neither forges a line of its own in a saved log nor drives
// the terminal that shows it.
inline std::string escapedText(std::string_view text)
{
    static constexpr char Hex[] = "0123456789abcdef";
    std::string shown;
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        switch (c) {
        case '\\':
            shown += "\\\\";
            break;
        case '\r':
            shown += "\\r";
            break;
        case '\n':
            shown += "\\n";
            break;
        case '\t':
            shown += "\\t";
            break;
        default:
            if (code >= 0x20 && code < 0x7F)
                shown += c;
            else
                shown += std::string("\\x") + Hex[code >> 4] + Hex[code & 0xF];
        }
    }
    return shown;
}

} // namespace instrument
