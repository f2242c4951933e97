#pragma once

#include <Qt>

#include "Settings.h"

namespace panel {

// The steps a slider moves by, one scheme for keys and wheel alike: the
// arrow step of 1 bare, a coarse step with Shift held and a coarser one with
// Ctrl held (Ctrl wins when both are). Up/Down and a wheel notch take them;
// the page step of a click in the track is a slider's own, never changed.
struct SliderSteps {
    int shift;
    int ctrl;
};

constexpr SliderSteps sliderStepsOf(instrument::SettingKind kind)
{
    // On an attenuator 1 dB and 5 dB; on an offset 100 and 1000 counts.
    return kind == instrument::SettingKind::Attenuator ? SliderSteps { 8, 40 } : SliderSteps { 100, 1000 };
}

// The step that an arrow key or a wheel notch with these modifiers moves by.
constexpr int stepWith(SliderSteps steps, Qt::KeyboardModifiers modifiers)
{
    if (modifiers & Qt::ControlModifier)
        return steps.ctrl;
    if (modifiers & Qt::ShiftModifier)
        return steps.shift;
    return 1;
}

} // namespace panel
