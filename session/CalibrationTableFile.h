#pragma once

#include <QString>
#include <string>

#include "CalibrationTable.h"

// Calibration tables between a file and the program, for the panel and
// r6140k-ctl alike: read and checked whole, and a section added by writing
// the whole table again, atomically, as a setup file is written.
namespace session {

// Reads and checks a whole table file; its problem says why it is refused,
// an unreadable file, a FIFO or one too large among the reasons.
instrument::CalibrationTable readCalibrationTable(const QString& path);

// Puts setupText into the table at path as the section of hz, replacing
// one of that frequency and keeping every other as it was; a table is made
// where there is no file. A table that cannot be read or checked is left
// as it was. Empty on success, else why not.
std::string addToCalibrationTable(const QString& path, instrument::LoHz hz, const std::string& setupText);

} // namespace session
