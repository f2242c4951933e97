#pragma once

#include <QLineEdit>
#include <functional>
#include <optional>
#include <vector>

#include "Settings.h"

class QLabel;

namespace panel {

class SettingScrollBar;

// A text box over a slider's value label in which the operator types the
// slider's exact value. Typing a digit or "-" (or "." on an attenuator) on
// a focused slider opens it with that character; a double click on the
// value label opens it with the value shown. Return sets the slider to the
// value, and the slider's own change handling sends it; Esc, Tab or moving
// the focus elsewhere close it and leave the slider as it was. A text that
// stands for no value is marked, says why, and sets nothing. It opens, and
// sets, only while the gate lets the sliders send. Hidden otherwise, and
// reached by no Tab, it takes no place in the window's focus order.
class ValueEditor : public QLineEdit {
    Q_OBJECT
public:
    using Gate = std::function<bool()>;

    ValueEditor(Gate sending, QWidget* window);

    void attach(SettingScrollBar* slider, QLabel* valueLabel, instrument::SettingKind kind);
    // Opens over an attached slider's label with its value, selected, as a
    // double click on the label does.
    void editValueOf(SettingScrollBar* slider);

    // The slider whose value is being typed; null while closed.
    SettingScrollBar* editedSlider() const { return editing_ ? editing_->slider : nullptr; }
    // Why the text entered last was refused; empty unless it was.
    const QString& problem() const { return problem_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct Target {
        SettingScrollBar* slider;
        QLabel* valueLabel;
        instrument::SettingKind kind;
    };

    bool opensOn(const Target& target, const QKeyEvent& key) const;
    void open(const Target& target, const QString& text);
    void enter();
    void finish(bool focusBackOnSlider);
    void mark(const QString& problem);
    void unmark();

    Gate sending_;
    std::vector<Target> targets_;
    std::optional<Target> editing_;
    QString problem_;
};

} // namespace panel
