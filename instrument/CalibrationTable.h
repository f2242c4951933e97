#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "SetupFile.h"

// A calibration table: one setup per LO frequency in one ASCII file, each in
// the setup file's own form after a section line "# [LO 2400000000 Hz]".
// The section line is a comment to a setup file's reader, which refuses a
// table whole anyway (its settings come again in every section), so a table
// is never taken for a setup by mistake. Reading is all or nothing, as for
// a setup file.
namespace instrument {

// Whole hertz: an LO is given to the hertz, never finer.
using LoHz = std::uint64_t;

inline constexpr LoHz LeastLoHz = 1;
inline constexpr LoHz GreatestLoHz = 1'000'000'000'000; // 1 THz, beyond any LO
// A production line calibrates a unit at a handful of frequencies; a table
// beyond these is no table of ours.
inline constexpr std::size_t MaxTableSections = 256;
inline constexpr std::size_t MaxTableFileBytes = 512 * 1024;

// An LO frequency as typed: a number of hertz, plain ("2400000000") or in
// e-notation ("2.4e9"), that is a whole number from LeastLoHz to
// GreatestLoHz. Two texts name the same frequency when their values are
// equal. None, and why in problem, otherwise.
std::optional<LoHz> parseLoHz(std::string_view text, std::string* problem);

// "2400000000", as section lines and messages give it.
std::string loHzText(LoHz hz);

struct TableSection {
    LoHz loHz = 0;
    std::size_t line = 0; // of its section line
    std::string text; // its section line and setup, as in the file
    SetupFile setup;
};

struct CalibrationTable {
    std::string preamble; // the comments before the first section, as in the file
    std::vector<TableSection> sections; // in file order
    std::string problem; // why the table is refused, naming the line; empty when taken

    const TableSection* section(LoHz hz) const;
    // "LO 1000000000 Hz, LO 2400000000 Hz", or "no LO frequency".
    std::string frequenciesText() const;
};

// Checks the whole text. Refused besides what a section's setup is refused
// for: a setting before the first section line, a malformed section line, a
// frequency given twice, more than MaxTableSections sections, a text larger
// than MaxTableFileBytes. An empty text is a table without sections.
CalibrationTable parseCalibrationTable(std::string_view text);

// The text of the table with setupText as the section of hz: in place of a
// section of that frequency, else before the first section of a higher one,
// else at the end. Every other section and the preamble stay as they were;
// a table without either starts with a comment that says what it is. Empty,
// and why in problem, when the table would grow beyond its bounds.
std::string withSection(const CalibrationTable& table, LoHz hz, std::string_view setupText, std::string* problem);

} // namespace instrument
