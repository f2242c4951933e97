#pragma once

#include <QScrollBar>

#include "SliderSteps.h"

namespace panel {

// A vertical scroll bar with the larger value at its top end: moving the
// thumb up, the upper arrow, a click above the thumb, Up and Page Up all
// raise the value. Qt puts the minimum at the top and does not swap the
// arrows when the appearance is inverted, so the bar runs over the negated
// range and this class speaks in settings, to the program and to assistive
// technology alike (see SettingScrollBarAccessible).
//
// settingChanged() is emitted for every completed change: a step, a key,
// the release of a dragged thumb, or a value set by the program; never for
// the positions a dragged thumb passes, which settingMoved() tells.
//
// The usual styles draw no focus on a scroll bar, so the bar that has the
// focus draws the style's focus frame over itself: keyboard users see where
// they are. The mouse wheel moves only the bar that has the focus: a wheel
// turned to scroll past the panel must not change the instrument. A notch
// moves it by what Up does, one arrow step bare, and Shift or Ctrl make a
// notch and Up/Down coarse (see SliderSteps).
//
// Its context menu is the window's (customContextMenuRequested): Qt's own
// scroll-bar menu, whose "Top" and "Bottom" read as scrolling but set an
// end value, never shows.
class SettingScrollBar : public QScrollBar {
    Q_OBJECT
public:
    // How a setting reads to the operator: what one step is worth in the
    // unit shown, and the unit's name ("dB", "counts"; none for a number).
    struct Reading {
        double unitsPerStep = 1;
        QString unit;
    };

    SettingScrollBar(int bottom, int top, int pageStep, QWidget* parent = nullptr);

    int setting() const { return -value(); }
    void setSetting(int setting) { setValue(-setting); }
    int bottomSetting() const { return -maximum(); }
    int topSetting() const { return -minimum(); }

    void setReading(Reading reading) { reading_ = std::move(reading); }
    void setCoarseSteps(SliderSteps steps) { steps_ = steps; }
    // Moves the setting by steps (up when positive), stopping at its ends.
    void stepBy(int steps);
    // A setting in the unit shown, and as text with its unit: "5.125 dB".
    double reading(int setting) const { return setting * reading_.unitsPerStep; }
    QString readingText(int setting) const;
    // The setting where the thumb is now, also while it is dragged.
    int shownSetting() const { return -sliderPosition(); }

signals:
    void settingChanged(int setting);
    void settingMoved(int setting);

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Reading reading_;
    SliderSteps steps_ { 1, 1 };
    int wheelTurned_ = 0; // eighths of a degree not yet a whole notch
};

} // namespace panel
