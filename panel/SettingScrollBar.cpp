#include "SettingScrollBar.h"

#include <QStyleOptionFocusRect>
#include <QStylePainter>
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

void SettingScrollBar::paintEvent(QPaintEvent* event)
{
    QScrollBar::paintEvent(event);
    if (!hasFocus())
        return;
    QStylePainter painter(this);
    QStyleOptionFocusRect frame;
    frame.initFrom(this);
    // Some styles draw the frame only after the focus was moved by keyboard;
    // here it shows from the start, as the window opens with a bar focused.
    frame.state |= QStyle::State_KeyboardFocusChange;
    frame.backgroundColor = palette().color(QPalette::Window);
    painter.drawPrimitive(QStyle::PE_FrameFocusRect, frame);
}

} // namespace panel

#include "moc_SettingScrollBar.cpp"
