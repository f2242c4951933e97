#include "SettingScrollBar.h"

#include <QAccessible>
#include <QKeyEvent>
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
    setContextMenuPolicy(Qt::CustomContextMenu);
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

void SettingScrollBar::stepBy(int steps)
{
    setSetting(std::clamp(setting() + steps, bottomSetting(), topSetting()));
}

// A notch is 120 eighths of a degree; a fine-grained wheel or touch pad
// sends parts of one, which add up. Some systems turn a wheel with Shift
// held into a sideways one.
void SettingScrollBar::wheelEvent(QWheelEvent* event)
{
    if (!hasFocus()) {
        event->ignore();
        return;
    }
    const QPoint turned = event->angleDelta();
    wheelTurned_ += turned.y() != 0 ? turned.y() : turned.x();
    const int notches = wheelTurned_ / 120;
    wheelTurned_ -= notches * 120;
    if (notches != 0)
        stepBy(notches * stepWith(steps_, event->modifiers()));
    event->accept();
}

void SettingScrollBar::keyPressEvent(QKeyEvent* event)
{
    const bool up = event->key() == Qt::Key_Up, down = event->key() == Qt::Key_Down;
    const int step = stepWith(steps_, event->modifiers());
    if ((up || down) && step != 1) {
        stepBy(up ? step : -step);
        event->accept();
        return;
    }
    QScrollBar::keyPressEvent(event);
}

} // namespace panel

#include "moc_SettingScrollBar.cpp"
