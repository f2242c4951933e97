#pragma once

#include <QString>

class QWidget;

namespace panel {

// A control whose value the instrument is not known to hold (never read,
// its last read failed, or the link went down since) is drawn greyed, in
// the disabled colours of its palette, while it takes input as before; its
// accessible description says "not read", with the reason if there is one:
// "not read: READ TIMEOUT".
void markUnread(QWidget* control, const QString& reason);
// Back to the control's own colours and no description.
void markRead(QWidget* control);

} // namespace panel
