#include "StatusLine.h"

#include <QAccessible>

namespace panel {

namespace {

constexpr QChar Ellipsis(0x2026);
constexpr QChar BreakOpportunity(0x200B); // a zero-width space

// A device path or address is one long word to the line breaker; a break
// after each slash lets it wrap where a reader expects it to.
QString breakableAtSlashes(QString text)
{
    return text.replace('/', QString('/') + BreakOpportunity);
}

} // namespace

StatusLine::StatusLine(const char* name, QString caption, QString purpose, QRect geometry, QWidget* parent)
    : QLabel(parent)
    , caption_(std::move(caption))
    , purpose_(std::move(purpose))
    , own_(geometry)
{
    setObjectName(name);
    setGeometry(geometry);
    setContentsMargins(4, 1, 4, 1);
    setWordWrap(true);
    setTextFormat(Qt::PlainText);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setFocusPolicy(Qt::NoFocus);
    show({});
}

// Screen readers hear of the change as of a live region's: by the line's
// name, which carries the text, and an event that tells it changed.
void StatusLine::setStatus(const QString& text)
{
    if (text != status_)
        show(text);
}

void StatusLine::mayGrowInto(QRect room, std::function<bool()> roomFree)
{
    room_ = room;
    roomFree_ = std::move(roomFree);
    refit();
}

// Its own place, or the room while the text needs it and it is free; the
// lines's text starts at the room's top, where a reader looks first.
void StatusLine::place(const QString& shown)
{
    setGeometry(own_);
    if (!roomFree_ || fits(shown) || !roomFree_())
        return;
    setGeometry(room_);
    raise();
}

void StatusLine::show(const QString& text)
{
    status_ = text;
    place(breakableAtSlashes(text));
    setText(fitted(text));
    setToolTip(text.isEmpty() ? purpose_ : text);
    setAccessibleName(text.isEmpty() ? caption_ : caption_ + ": " + text);
    QAccessibleEvent changed(this, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
}

// The text as it fits, or the longest start of it that fits with an
// ellipsis after it.
QString StatusLine::fitted(const QString& text) const
{
    const QString shown = breakableAtSlashes(text);
    if (fits(shown))
        return shown;
    qsizetype fitting = 0;
    qsizetype tooLong = shown.size();
    while (tooLong - fitting > 1) {
        const qsizetype middle = (fitting + tooLong) / 2;
        (fits(shown.left(middle) + Ellipsis) ? fitting : tooLong) = middle;
    }
    return shown.left(fitting) + Ellipsis;
}

bool StatusLine::fits(const QString& text) const
{
    const QRect space = contentsRect();
    const QRect needed
        = fontMetrics().boundingRect(QRect(space.topLeft(), QSize(space.width(), QWIDGETSIZE_MAX)), Qt::TextWordWrap, text);
    return needed.height() <= space.height() && needed.width() <= space.width();
}

} // namespace panel

#include "moc_StatusLine.cpp"
