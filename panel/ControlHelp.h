#pragma once

#include <QString>

#include "Settings.h"

namespace panel {

// The tool tips of the settings' controls: what a control sets, the message
// it sends, the unit and range, and the keys that work on it; all taken
// from the settings table.
QString sliderHelp(const instrument::Setting& setting, const QString& purpose, int pageStep);
QString toggleHelp(const instrument::Setting& setting, const QString& purpose);
// A slider's value label.
QString valueLabelHelp(const instrument::Setting& setting);

} // namespace panel
