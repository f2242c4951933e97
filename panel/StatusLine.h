#pragma once

#include <QLabel>
#include <QString>

namespace panel {

// A status line in a fixed place of a window, in the window's own font size,
// wrapped within a margin. A long path wraps at its slashes rather than
// running past the line's edge, and a text longer than the line's space ends
// in an ellipsis where the space does; the whole text is in the tool tip and
// in the accessible name, whose change screen readers are told of as it
// happens. While empty, the tool tip says what the line is for. It takes no
// focus.
class StatusLine : public QLabel {
    Q_OBJECT
public:
    StatusLine(const char* name, QString caption, QString purpose, QRect geometry, QWidget* parent);

    void setStatus(const QString& text);
    // The whole text, as set.
    const QString& status() const { return status_; }

private:
    void show(const QString& text);
    QString fitted(const QString& text) const;
    bool fits(const QString& text) const;

    QString caption_;
    QString purpose_;
    QString status_;
};

} // namespace panel
