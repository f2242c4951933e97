#pragma once

#include <QLabel>
#include <QStringList>
#include <algorithm>

namespace panel {

// Widens a control to at least width, into the free space on the side that
// its alignment leaves open: a right-aligned control grows leftwards, a
// centred one to both sides, any other rightwards. Nothing else moves.
inline void growToWidth(QWidget* control, int width, Qt::Alignment alignment)
{
    const int missing = width - control->width();
    if (missing <= 0)
        return;
    const int leftwards = alignment & Qt::AlignRight ? missing : alignment & Qt::AlignHCenter ? missing / 2 : 0;
    control->setGeometry(control->geometry().adjusted(-leftwards, 0, missing - leftwards, 0));
}

// Widens a label so that each of the texts it may show later fits whole, in
// the font it has now: the layouts were drawn for narrower fonts.
inline void makeRoomFor(QLabel* label, const QStringList& texts)
{
    const QString shown = label->text();
    int widest = 0;
    for (const QString& text : texts) {
        label->setText(text);
        widest = std::max(widest, label->sizeHint().width());
    }
    label->setText(shown);
    growToWidth(label, widest, label->alignment());
}

} // namespace panel
