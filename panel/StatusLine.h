#pragma once

#include <QLabel>
#include <QString>
#include <functional>

namespace panel {

// A status line in a fixed place of a window, in the window's own font size,
// wrapped within a margin. A long path wraps at its slashes rather than
// running past the line's edge, and a text longer than the line's space ends
// in an ellipsis where the space does; the whole text is in the tool tip and
// in the accessible name, whose change screen readers are told of as it
// happens. While empty, the tool tip says what the line is for. It takes no
// focus. A line may be given more room, free space of the window that it
// takes only while a text does not fit its own and the room is free, so
// that the advice at a long text's end is not cut.
class StatusLine : public QLabel {
    Q_OBJECT
public:
    StatusLine(const char* name, QString caption, QString purpose, QRect geometry, QWidget* parent);

    void setStatus(const QString& text);
    // The room the line grows into (its own place within it) while
    // roomFree says it is free.
    void mayGrowInto(QRect room, std::function<bool()> roomFree);
    // Fits the text again, after the room has been taken or freed.
    void refit() { show(status_); }
    // The whole text, as set.
    const QString& status() const { return status_; }

private:
    void show(const QString& text);
    QString fitted(const QString& text) const;
    bool fits(const QString& text) const;

    void place(const QString& shown);

    QString caption_;
    QString purpose_;
    QString status_;
    QRect own_;
    QRect room_;
    std::function<bool()> roomFree_;
};

} // namespace panel
