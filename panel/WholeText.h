#pragma once

#include <QLabel>
#include <QString>

namespace panel {

// A one-line label whose text may be longer than the label: it keeps both
// ends in sight, cut in the middle, and carries the whole text in its tool
// tip and in its accessible name.
inline void showWhole(QLabel* label, const QString& text)
{
    const QString shown = label->fontMetrics().elidedText(text, Qt::ElideMiddle, label->contentsRect().width());
    label->setText(shown);
    label->setToolTip(shown == text ? QString() : text);
    label->setAccessibleName(text);
}

} // namespace panel
