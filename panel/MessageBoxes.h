#pragma once

#include <QMessageBox>
#include <QString>

namespace panel {

// A modal box with one OK button that waits until the operator closes it.
// The text is shown as it stands: it may come from the instrument.
inline void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

} // namespace panel
