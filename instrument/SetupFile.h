#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "Settings.h"

// A setup file: the instrument's settings kept on the computer as plain
// ASCII text, one setting message per line in the settings table's order,
// after comment lines ('#') that say where and when it was read. Without
// its comments it is a script any SCPI client can replay. Reading is all or
// nothing: a file is either taken whole or refused with the line at fault.
namespace instrument {

// Larger files are refused unread: a setup is a dozen short lines.
inline constexpr std::size_t MaxSetupFileBytes = 64 * 1024;

// What the comment lines of a saved file tell.
struct SetupNotes {
    std::string identity; // the instrument's reply to *IDN?
    std::string port; // the device it was read from
    std::string time; // ISO 8601, UTC
    std::string program; // the program's name and version
    std::vector<std::string> remarks; // more comment lines, such as a calibration's result
};

using SettingValues = std::array<int32_t, SettingCount>;

// One setting line of a file: the setting, its value, and where it stood.
struct SetupEntry {
    std::size_t line = 0;
    SettingId id {};
    int32_t value = 0;
};

struct SetupFile {
    std::vector<SetupEntry> entries; // in file order
    std::string identity; // from the *IDN? comment; empty when there is none
    std::string problem; // why the file is refused, naming the line; empty when taken

    static SetupFile refused(std::string why)
    {
        SetupFile file;
        file.problem = std::move(why);
        return file;
    }
};

// The file's text: the notes and remarks as comments, then every setting.
std::string formatSetup(const SetupNotes& notes, const SettingValues& values);

// Checks the whole text. Refused: a line that is not a comment, a blank line
// or one setting message with a value in its range; a setting set twice; a
// line the instrument's command buffer would not take, or with control
// characters or bytes beyond ASCII; a text larger than MaxSetupFileBytes; a
// text that sets no setting.
// Headers may take any form the instrument accepts; lines may end in CR LF.
// Lines are numbered from firstLine, for a setup within a larger file.
SetupFile parseSetup(std::string_view text, std::size_t firstLine = 1);

// The message that sets an entry, in the short form the panel sends.
std::string messageOf(const SetupEntry& entry);

// The third field of an identification (maker, model, serial number,
// version), without blanks around it; empty when it has none.
std::string serialNumberOf(std::string_view identity);

} // namespace instrument
