#pragma once

#include <QScrollBar>

namespace panel {

// A vertical scroll bar with the larger value at its top end: moving the
// thumb up, the upper arrow, a click above the thumb, Up and Page Up all
// raise the value. Qt puts the minimum at the top and does not swap the
// arrows when the appearance is inverted, so the bar runs over the negated
// range and this class speaks in settings.
//
// settingChanged() is emitted for every completed change: a step, a key,
// the release of a dragged thumb, or a value set by the program; never for
// the positions a dragged thumb passes.
//
// The usual styles draw no focus on a scroll bar, so the bar that has the
// focus draws the style's focus frame over itself: keyboard users see where
// they are.
class SettingScrollBar : public QScrollBar {
    Q_OBJECT
public:
    SettingScrollBar(int bottom, int top, int pageStep, QWidget* parent = nullptr);

    int setting() const { return -value(); }
    void setSetting(int setting) { setValue(-setting); }
    int bottomSetting() const { return -maximum(); }
    int topSetting() const { return -minimum(); }

signals:
    void settingChanged(int setting);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace panel
