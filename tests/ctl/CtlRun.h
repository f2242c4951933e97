#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <string>

#include "EventLoop.h"

namespace test_support {

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

// A program run as from a shell without a display, with the test's own
// environment otherwise, plus the given variables. Events are processed
// while it runs, so that a panel in the test process can serve it.
inline ProgramRun runPumped(const QString& program, const QStringList& arguments, const QProcessEnvironment& extra = {})
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(name);
    environment.insert(extra);
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    pumpUntil([&process] { return process.state() == QProcess::NotRunning; }, std::chrono::seconds(60));
    return { process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
        process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString() };
}

inline ProgramRun runCtl(const QStringList& arguments)
{
    return runPumped(R6140K_CTL_PATH, arguments);
}

} // namespace test_support
