#pragma once

#include <QColor>
#include <QLineEdit>
#include <QToolTip>

namespace panel {

// Marks a text box whose text was refused: light red, the reason in its tool
// tip, shown at once below it, and in its accessible description. Dark text
// on light red reads alike in light and dark colour schemes.
inline void markRefused(QLineEdit* box, const QString& reason)
{
    QPalette refused = box->palette();
    refused.setColor(QPalette::Base, QColor(255, 205, 205));
    refused.setColor(QPalette::Text, Qt::black);
    box->setPalette(refused);
    box->setToolTip(reason);
    box->setAccessibleDescription(reason);
    QToolTip::showText(box->mapToGlobal(QPoint(0, box->height())), reason, box);
}

inline void unmarkRefused(QLineEdit* box)
{
    box->setPalette(QPalette());
    box->setToolTip({});
    box->setAccessibleDescription({});
    QToolTip::hideText();
}

} // namespace panel
