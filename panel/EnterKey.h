#pragma once

#include <QKeyEvent>
#include <QPushButton>

namespace panel {

// Return and keypad Enter press the push button that has the focus, as Space
// does, and do nothing anywhere else: no window has a default button. A
// window calls this for the keys its children leave to it; it returns whether
// the key was one of the two, which the window then takes.
inline bool pressFocusedButtonOnEnter(QWidget* window, QKeyEvent* event)
{
    if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
        return false;
    // Space presses once however long it is held; so does Enter.
    if (auto* button = qobject_cast<QPushButton*>(window->focusWidget()); button && !event->isAutoRepeat())
        button->click();
    event->accept();
    return true;
}

} // namespace panel
