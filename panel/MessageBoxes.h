#pragma once

#include <QMessageBox>
#include <QString>

namespace panel {

// A modal box with one OK button that waits until the operator closes it.
inline void showMessage(QWidget* parent, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

} // namespace panel
