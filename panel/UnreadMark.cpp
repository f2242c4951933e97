#include "UnreadMark.h"

#include <QPalette>
#include <QWidget>

namespace panel {

namespace {

QPalette greyed(QPalette palette)
{
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto colorRole = static_cast<QPalette::ColorRole>(role);
        const QBrush disabled = palette.brush(QPalette::Disabled, colorRole);
        palette.setBrush(QPalette::Active, colorRole, disabled);
        palette.setBrush(QPalette::Inactive, colorRole, disabled);
    }
    return palette;
}

} // namespace

void markUnread(QWidget* control, const QString& reason)
{
    control->setPalette(greyed(control->palette()));
    control->setAccessibleDescription(reason.isEmpty() ? "not read" : "not read: " + reason);
}

void markRead(QWidget* control)
{
    if (control->accessibleDescription().isEmpty())
        return; // not marked: spares a burst of changes a repaint each
    // A palette that sets no colour of its own gives the widget back the
    // colours it inherits.
    control->setPalette(QPalette());
    control->setAccessibleDescription({});
}

} // namespace panel
