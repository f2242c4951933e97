#pragma once

#include <QString>
#include <optional>

#include "Settings.h"

namespace panel {

// Offsets show their count; attenuators count eighths of a dB and show decibels.
QString valueText(instrument::SettingKind kind, int value);

// The setting that an operator's text stands for, or why it stands for none.
struct TypedSetting {
    std::optional<int> value;
    QString problem; // empty when there is a value
};

// Reads an offset as a whole count in its range, and an attenuator as
// decibels (a trailing "dB" allowed) rounded to the nearest step of 1/8 dB,
// from 0 to 15.875 dB.
TypedSetting settingFromText(instrument::SettingKind kind, const QString& text);

} // namespace panel
