#include "ProgramIcon.h"

#include <QApplication>
#include <QIcon>

namespace panel {

void setProgramIcon()
{
    // An SVG icon is drawn by the iconengines plugin of Qt SVG (libqt6svg6).
    QApplication::setWindowIcon(QIcon(":/icons/r6140k-panel.svg"));
    QGuiApplication::setDesktopFileName("r6140k-panel");
}

} // namespace panel
