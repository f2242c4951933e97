#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <string>

#include "EventLoop.h"

namespace test_support {

// r6140k-ctl as a shell runs it: no display, the test's own environment
// otherwise. Events are processed while it runs, so that a panel in the
// test process can serve it.
struct CtlRun {
    int status = -1;
    std::string out;
    std::string err;
};

inline CtlRun runCtl(const QStringList& arguments)
{
    QProcess ctl;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(name);
    ctl.setProcessEnvironment(environment);
    ctl.start(R6140K_CTL_PATH, arguments);
    pumpUntil([&ctl] { return ctl.state() == QProcess::NotRunning; }, std::chrono::seconds(60));
    return { ctl.exitStatus() == QProcess::NormalExit ? ctl.exitCode() : -1, ctl.readAllStandardOutput().toStdString(),
        ctl.readAllStandardError().toStdString() };
}

} // namespace test_support
