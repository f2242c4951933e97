#include "ValueEditor.h"

#include <QKeyEvent>
#include <QLabel>
#include <QToolTip>
#include <algorithm>
#include <utility>

#include "RefusalMark.h"
#include "SettingScrollBar.h"
#include "SettingText.h"

namespace panel {

ValueEditor::ValueEditor(Gate sending, QWidget* window)
    : QLineEdit(window)
    , sending_(std::move(sending))
{
    setObjectName("txtValue");
    setAccessibleName("Exact value");
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::ClickFocus);
    hide();
    connect(this, &QLineEdit::textEdited, this, &ValueEditor::unmark);
}

void ValueEditor::attach(SettingScrollBar* slider, QLabel* valueLabel, instrument::SettingKind kind)
{
    targets_.push_back({ slider, valueLabel, kind });
    slider->installEventFilter(this);
    valueLabel->installEventFilter(this);
}

// Only a key on a slider or a double click on a value label can open the
// box; every other event passes untouched and asks nothing of the window,
// which may be part-way through its destruction when its children hide.
bool ValueEditor::eventFilter(QObject* watched, QEvent* event)
{
    const bool key = event->type() == QEvent::KeyPress;
    if (!key && event->type() != QEvent::MouseButtonDblClick)
        return false;
    const auto target = std::ranges::find_if(
        targets_, [watched, key](const Target& t) { return watched == (key ? static_cast<QObject*>(t.slider) : t.valueLabel); });
    if (target == targets_.end() || !sending_())
        return false;
    if (key) {
        const auto& typed = static_cast<const QKeyEvent&>(*event);
        if (!opensOn(*target, typed))
            return false;
        open(*target, typed.text());
        return true;
    }
    editValueOf(target->slider);
    return true;
}

void ValueEditor::editValueOf(SettingScrollBar* slider)
{
    const auto target = std::ranges::find(targets_, slider, &Target::slider);
    if (target == targets_.end())
        return;
    open(*target, valueText(target->kind, slider->setting()).remove(" dB"));
    selectAll();
}

bool ValueEditor::opensOn(const Target& target, const QKeyEvent& key) const
{
    if (key.modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier) || key.text().size() != 1)
        return false;
    const QChar typed = key.text().front();
    return (typed >= '0' && typed <= '9') || typed == '-'
        || (typed == '.' && target.kind == instrument::SettingKind::Attenuator);
}

// Over the value label, as wide as it and as tall as a line of text needs,
// growing upwards from the label's foot, away from the slider below it.
void ValueEditor::open(const Target& target, const QString& text)
{
    editing_ = target;
    unmark();
    setText(text);
    setAccessibleName(target.slider->accessibleName() + ", exact value");
    const QRect label(target.valueLabel->mapTo(parentWidget(), QPoint(0, 0)), target.valueLabel->size());
    const int height = std::max(label.height(), sizeHint().height());
    setGeometry(label.left(), label.bottom() + 1 - height, label.width(), height);
    show();
    raise();
    setFocus(Qt::OtherFocusReason);
}

void ValueEditor::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        enter();
        break;
    case Qt::Key_Escape:
        finish(true);
        break;
    default:
        QLineEdit::keyPressEvent(event);
        return;
    }
    event->accept();
}

// The slider's change handling sends the value, as for any other change; a
// value the slider already has is not sent again, as with its keys.
void ValueEditor::enter()
{
    if (!editing_)
        return;
    if (!sending_()) {
        mark("The panel is busy with the instrument: press Return again");
        return;
    }
    const TypedSetting typed = settingFromText(editing_->kind, text());
    if (!typed.value) {
        mark(typed.problem);
        return;
    }
    SettingScrollBar* slider = editing_->slider;
    finish(true);
    slider->setSetting(*typed.value);
}

// Closes; the focus goes back to the slider unless it has gone elsewhere.
void ValueEditor::finish(bool focusBackOnSlider)
{
    if (!editing_)
        return;
    SettingScrollBar* slider = std::exchange(editing_, std::nullopt)->slider;
    if (focusBackOnSlider)
        slider->setFocus(Qt::OtherFocusReason);
    QToolTip::hideText();
    hide();
}

// The focus leaves for good, except to the text box's own context menu.
void ValueEditor::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (event->reason() != Qt::PopupFocusReason)
        finish(false);
}

// Tab and Shift+Tab go on from the slider, as if the text box were not there.
bool ValueEditor::focusNextPrevChild(bool next)
{
    finish(true);
    return QLineEdit::focusNextPrevChild(next);
}

void ValueEditor::mark(const QString& problem)
{
    problem_ = problem;
    markRefused(this, problem);
}

void ValueEditor::unmark()
{
    problem_.clear();
    unmarkRefused(this);
}

} // namespace panel

#include "moc_ValueEditor.cpp"
