#include "CalibrationTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "MessageSyntax.h"

namespace instrument {

namespace {

constexpr std::string_view SectionStart = "# [LO ";
constexpr std::string_view SectionEnd = " Hz]";
constexpr std::string_view TableTitle
    = "# R6140K calibration table: one setup per LO frequency, each after its line \"# [LO <Hz> Hz]\"\n";

std::string tableLineProblem(std::size_t line, const std::string& why)
{
    return "line " + std::to_string(line) + ": " + why;
}

std::string sectionLine(LoHz hz)
{
    return std::string(SectionStart) + loHzText(hz) + std::string(SectionEnd) + '\n';
}

std::string_view withoutTableLineEnd(std::string_view line)
{
    while (line.ends_with('\n') || line.ends_with('\r'))
        line.remove_suffix(1);
    return line;
}

// The frequency of a section line, or why the line is not one; nothing when
// the line is no section line at all.
std::optional<LoHz> sectionFrequency(std::string_view line, std::string* problem)
{
    if (!line.starts_with(SectionStart))
        return std::nullopt;
    if (!line.ends_with(SectionEnd)) {
        *problem = "a section line reads \"# [LO <Hz> Hz]\"";
        return std::nullopt;
    }
    line.remove_prefix(SectionStart.size());
    line.remove_suffix(SectionEnd.size());
    return parseLoHz(line, problem);
}

// Lines before the first section: comments and blank lines only.
std::string preambleProblem(std::string_view line)
{
    if (std::string problem = messageProblem(line); !problem.empty())
        return problem;
    if (line.starts_with('#') || trimBlanks(line).empty())
        return {};
    return "a setting before the first section line \"# [LO <Hz> Hz]\"";
}

// Checks a section's setup, its lines numbered as in the table.
std::string checkSection(TableSection& section)
{
    const std::string_view text = section.text;
    const std::size_t body = std::min(text.find('\n'), text.size());
    section.setup = parseSetup(text.substr(body == text.size() ? body : body + 1), section.line + 1);
    if (section.setup.problem.empty())
        return {};
    return "the section LO " + loHzText(section.loHz) + " Hz of line " + std::to_string(section.line) + ": "
        + section.setup.problem;
}

// Splits the text into the preamble and sections, checking every line that
// is not a section's setup.
std::string splitTable(std::string_view text, CalibrationTable& table)
{
    std::size_t number = 1;
    for (std::size_t start = 0; start < text.size(); ++number) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        std::string whole(text.substr(start, end - start));
        whole += '\n'; // a last line without its end gets one, so a section added after it starts on a line of its own
        start = end + 1;
        const std::string_view line = withoutTableLineEnd(whole);
        std::string problem;
        if (const auto hz = sectionFrequency(line, &problem)) {
            if (const TableSection* earlier = table.section(*hz))
                return tableLineProblem(number, "LO " + loHzText(*hz) + " Hz is given again (first on line "
                    + std::to_string(earlier->line) + ")");
            if (table.sections.size() == MaxTableSections)
                return tableLineProblem(number, "more than " + std::to_string(MaxTableSections) + " sections");
            table.sections.push_back({ .loHz = *hz, .line = number, .text = whole, .setup = {} });
            continue;
        }
        if (!problem.empty())
            return tableLineProblem(number, problem);
        if (!table.sections.empty())
            table.sections.back().text += whole;
        else if (problem = preambleProblem(line); !problem.empty())
            return tableLineProblem(number, problem);
        else
            table.preamble += whole;
    }
    return {};
}

std::string kilobytes(std::size_t bytes)
{
    return std::to_string(bytes / 1024) + " kB";
}

} // namespace

std::optional<LoHz> parseLoHz(std::string_view text, std::string* problem)
{
    text = trimBlanks(text);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
        *problem = "\"" + std::string(text) + "\" is no frequency in Hz";
        return std::nullopt;
    }
    if (value < static_cast<double>(LeastLoHz) || value > static_cast<double>(GreatestLoHz)) {
        *problem = std::string(text) + " Hz is out of range (" + loHzText(LeastLoHz) + " to " + loHzText(GreatestLoHz)
            + " Hz)";
        return std::nullopt;
    }
    if (value != std::floor(value)) {
        *problem = std::string(text) + " Hz is not a whole number of hertz";
        return std::nullopt;
    }
    return static_cast<LoHz>(value);
}

std::string loHzText(LoHz hz)
{
    return std::to_string(hz);
}

const TableSection* CalibrationTable::section(LoHz hz) const
{
    const auto found = std::ranges::find(sections, hz, &TableSection::loHz);
    return found == sections.end() ? nullptr : &*found;
}

std::string CalibrationTable::frequenciesText() const
{
    std::string text;
    for (const TableSection& held : sections)
        text += (text.empty() ? "LO " : ", LO ") + loHzText(held.loHz) + " Hz";
    return text.empty() ? "no LO frequency" : text;
}

CalibrationTable parseCalibrationTable(std::string_view text)
{
    CalibrationTable table;
    if (text.size() > MaxTableFileBytes)
        table.problem = "the file is larger than " + kilobytes(MaxTableFileBytes);
    else
        table.problem = splitTable(text, table);
    for (TableSection& section : table.sections)
        if (table.problem.empty())
            table.problem = checkSection(section);
    if (!table.problem.empty())
        table.sections.clear();
    return table;
}

std::string withSection(const CalibrationTable& table, LoHz hz, std::string_view setupText, std::string* problem)
{
    if (!table.section(hz) && table.sections.size() >= MaxTableSections) {
        *problem = "it holds " + std::to_string(MaxTableSections) + " LO frequencies, as many as a table may";
        return {};
    }
    std::string text = table.preamble.empty() && table.sections.empty() ? std::string(TableTitle) : table.preamble;
    std::string added = sectionLine(hz) + std::string(setupText);
    if (!added.ends_with('\n'))
        added += '\n';
    bool placed = false;
    for (const TableSection& section : table.sections) {
        if (!placed && section.loHz >= hz) {
            text += added;
            placed = true;
            if (section.loHz == hz)
                continue;
        }
        text += section.text;
    }
    if (!placed)
        text += added;
    if (text.size() > MaxTableFileBytes) {
        *problem = "it would grow beyond " + kilobytes(MaxTableFileBytes);
        return {};
    }
    return text;
}

} // namespace instrument
