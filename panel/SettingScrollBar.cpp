#include "panel/SettingScrollBar.h"

#include <algorithm>

namespace panel {

SettingScrollBar::SettingScrollBar(int bottom, int top, int pageStep, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent)
{
    setRange(-top, -bottom);
    setSingleStep(1);
    setPageStep(pageStep);
    setValue(std::clamp(0, -top, -bottom));
    setTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QScrollBar::valueChanged, this, [this](int value) { emit settingChanged(-value); });
}

} // namespace panel
