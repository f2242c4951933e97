#pragma once

#include <QDialog>
#include <QKeyEvent>

#include "EnterKey.h"
#include "FocusMark.h"
#include "Twips.h"

namespace panel {

// A modal window of fixed size, centred over the main window, with no
// default or cancel button: Enter presses only a focused button, and Escape
// does nothing. The window's own close command still closes it. Its push
// buttons must not be auto-default (see addButton).
class PanelDialog : public QDialog {
public:
    PanelDialog(QWidget* parent, const char* name, const char* title, int widthTwips, int heightTwips)
        : QDialog(parent)
    {
        setObjectName(name);
        setWindowTitle(title);
        setModal(true);
        setFixedSize(twipsToPixels(widthTwips), twipsToPixels(heightTwips));
        useDialogFont(this);
        new FocusMarkFromTheStart(this);
    }

    void centreOverParent()
    {
        if (const QWidget* parent = parentWidget())
            move(parent->geometry().center() - rect().center());
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        if (!pressFocusedButtonOnEnter(this, event))
            QDialog::keyPressEvent(event);
    }
};

} // namespace panel
