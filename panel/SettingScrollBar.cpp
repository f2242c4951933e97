#include "SettingScrollBar.h"

#include <QAccessible>
#include <QStyleOptionFocusRect>
#include <QStylePainter>
#include <QWheelEvent>
#include <algorithm>

#include "SettingScrollBarAccessible.h"

namespace panel {

SettingScrollBar::SettingScrollBar(int bottom, int top, int pageStep, QWidget* parent)
    : QScrollBar(Qt::Vertical, parent)
{
    static const bool readable = (QAccessible::installFactory(&SettingScrollBarAccessible::create), true);
    Q_UNUSED(readable);
    setRange(-top, -bottom);
    setSingleStep(1);
    setPageStep(pageStep);
    setValue(std::clamp(0, -top, -bottom));
    setTracking(false);
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QScrollBar::valueChanged, this, [this](int value) { emit settingChanged(-value); });
    connect(this, &QScrollBar::sliderMoved, this, [this](int position) { emit settingMoved(-position); });
}

QString SettingScrollBar::readingText(int setting) const
{
    const QString number = QString::number(reading(setting), 'g', 10);
    return reading_.unit.isEmpty() ? number : number + " " + reading_.unit;
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

void SettingScrollBar::wheelEvent(QWheelEvent* event)
{
    if (hasFocus())
        QScrollBar::wheelEvent(event);
    else
        event->ignore();
}

} // namespace panel

#include "moc_SettingScrollBar.cpp"
