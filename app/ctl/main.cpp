// r6140k-ctl: the instrument from a shell, a script or a CI job, without any
// window: the panel's link, session and settings table behind a command line.

#include <QCoreApplication>

#include "Commands.h"
#include "CtlOptions.h"
#include "Version.h"

int main(int argc, char* argv[])
{
    const QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName("r6140k-ctl");
    QCoreApplication::setApplicationVersion(app::VersionText);
    return ctl::runCommand(ctl::parseCtlOptions(QCoreApplication::arguments()));
}
