#include "SetupFile.h"

#include <algorithm>
#include <optional>

#include "CommandSet.h"
#include "MessageSyntax.h"
#include "SettingMessage.h"

namespace instrument {

namespace {

constexpr std::string_view IdentityNote = "*IDN?";

// "# calibration: LO 2400000000 Hz", printable ASCII only.
std::string commentLine(std::string_view text)
{
    std::string line = "# ";
    for (const char c : text) {
        const auto code = static_cast<unsigned char>(c);
        line += code >= 0x20 && code < 0x7F ? c : '?';
    }
    // Every line of a file, comments too, is one the reader takes.
    line.resize(std::min(line.size(), MaxMessageLength));
    return line + '\n';
}

// "# *IDN? = R6140K Simulator,R6140K,SIM00001,2.0.0"
std::string noteLine(std::string_view name, std::string_view value)
{
    return commentLine(std::string(name) + " = " + std::string(value));
}

std::string lineProblem(std::size_t line, const std::string& why)
{
    return "line " + std::to_string(line) + ": " + why;
}

// Reads one setting message; the entry, or why it is refused.
std::string readSetting(std::string_view message, SetupEntry& entry)
{
    if (expectsReply(message))
        return "\"" + std::string(message) + "\" is a query; a setup file only sets";
    if (splitUnits(message).size() > 1)
        return "more than one message; a setup file has one setting a line";
    const SettingMessage setting = readSettingMessage(message);
    if (!setting.setting)
        return "unknown header " + std::string(splitMessage(message).header);
    if (!setting.problem.empty())
        return setting.problem;
    entry.id = setting.setting->id;
    entry.value = setting.value;
    return {};
}

std::string_view withoutLineEnd(std::string_view line)
{
    if (line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

// The value of a comment "# NAME = VALUE", when the line is that comment.
std::optional<std::string_view> noteValue(std::string_view line, std::string_view name)
{
    const std::string prefix = "# " + std::string(name) + " = ";
    if (!line.starts_with(prefix))
        return std::nullopt;
    return trimBlanks(line.substr(prefix.size()));
}

// Takes one line into the file, or says why it is refused.
std::string takeLine(std::string_view line, std::size_t number, SetupFile& file)
{
    if (const std::string problem = messageProblem(line); !problem.empty())
        return problem;
    if (const auto identity = noteValue(line, IdentityNote))
        file.identity = *identity;
    if (line.starts_with('#') || trimBlanks(line).empty())
        return {};
    SetupEntry entry { .line = number };
    if (std::string problem = readSetting(trimBlanks(line), entry); !problem.empty())
        return problem;
    const auto earlier = std::ranges::find(file.entries, entry.id, &SetupEntry::id);
    if (earlier != file.entries.end())
        return std::string(settingOf(entry.id).mnemonic) + " is set again (first on line " + std::to_string(earlier->line)
            + ")";
    file.entries.push_back(entry);
    return {};
}

} // namespace

std::string formatSetup(const SetupNotes& notes, const SettingValues& values)
{
    std::string text = noteLine(IdentityNote, notes.identity) + noteLine("port", notes.port)
        + noteLine("time", notes.time) + noteLine("program", notes.program);
    for (const std::string& remark : notes.remarks)
        text += commentLine(remark);
    for (const Setting& setting : Settings)
        text += commands::withArgument(setting.prefix, values[indexOf(setting.id)]) + '\n';
    return text;
}

SetupFile parseSetup(std::string_view text, std::size_t firstLine)
{
    if (text.size() > MaxSetupFileBytes)
        return SetupFile::refused("the file is larger than " + std::to_string(MaxSetupFileBytes / 1024) + " kB");
    SetupFile file;
    std::size_t number = firstLine;
    for (std::size_t start = 0; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        if (const std::string problem = takeLine(withoutLineEnd(text.substr(start, end - start)), number, file);
            !problem.empty())
            return SetupFile::refused(lineProblem(number, problem));
        start = end + 1;
    }
    // A file of comments and blank lines, or none at all, is no setup: most
    // likely the wrong file, or one cut short.
    if (file.entries.empty())
        return SetupFile::refused("it sets no setting");
    return file;
}

std::string messageOf(const SetupEntry& entry)
{
    return commands::withArgument(settingOf(entry.id).prefix, entry.value);
}

std::string serialNumberOf(std::string_view identity)
{
    for (int field = 0; field < 2; ++field) {
        const auto comma = identity.find(',');
        if (comma == std::string_view::npos)
            return {};
        identity.remove_prefix(comma + 1);
    }
    return std::string(trimBlanks(identity.substr(0, identity.find(','))));
}

} // namespace instrument
