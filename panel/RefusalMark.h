#pragma once

#include <QColor>
#include <QLineEdit>
#include <QToolTip>

namespace panel {

// The box's own tool tip, kept while the reason takes its place.
inline constexpr const char* UsualToolTip = "usualToolTip";

// Marks a text box whose text was refused: light red, the reason in its tool
// tip, shown at once below it, and in its accessible description. Dark text
// on light red reads alike in light and dark colour schemes.
inline void markRefused(QLineEdit* box, const QString& reason)
{
    if (!box->property(UsualToolTip).isValid())
        box->setProperty(UsualToolTip, box->toolTip());
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
    box->setToolTip(box->property(UsualToolTip).toString());
    box->setProperty(UsualToolTip, {});
    box->setAccessibleDescription({});
    QToolTip::hideText();
}

} // namespace panel
