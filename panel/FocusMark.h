#pragma once

#include <QEvent>
#include <QWidget>

namespace panel {

// Styles draw the focus mark once the focus has been moved by keyboard, and
// showing a window forgets that it was: a window that opens with a control
// focused would show no mark until the first Tab. Installed on a window,
// this marks the focus from each showing on.
class FocusMarkFromTheStart : public QObject {
public:
    explicit FocusMarkFromTheStart(QWidget* window)
        : QObject(window)
    {
        window->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched == parent())
            static_cast<QWidget*>(watched)->setAttribute(Qt::WA_KeyboardFocusChange);
        return false;
    }
};

} // namespace panel
