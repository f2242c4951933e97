#pragma once

#include <QLabel>
#include <QString>

namespace panel {

// A status line has a fixed place: a long text is set in a smaller font,
// down to 6 points, until it fits the label (which wraps its words), and is
// always in the tooltip as well.
inline void fitText(QLabel* label, const QString& text, double pointSize)
{
    constexpr double SmallestPointSize = 6.0;
    label->setText(text);
    label->setToolTip(text);
    QFont font = label->font();
    for (double size = pointSize; size >= SmallestPointSize; size -= 0.5) {
        font.setPointSizeF(size);
        label->setFont(font);
        if (label->heightForWidth(label->width()) <= label->height())
            return;
    }
}

} // namespace panel
