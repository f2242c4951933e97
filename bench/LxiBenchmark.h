#pragma once

#include <QEventLoop>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>
#include <string>

#include "BenchReport.h"

namespace bench {

// Requests per second that `lxi benchmark` (200 *IDN? requests) gets from
// 127.0.0.1, with the given options (-p PORT -r for a raw socket, none for
// VXI-11), while the event loop serves it.
inline double lxiRate(const QStringList& options, int requests = 200)
{
    QProcess lxi;
    QEventLoop untilDone;
    QObject::connect(&lxi, &QProcess::finished, &untilDone, &QEventLoop::quit);
    lxi.start("lxi", QStringList { "benchmark", "-a", "127.0.0.1", "-c", QString::number(requests) } + options);
    if (!lxi.waitForStarted())
        fail("cannot run lxi");
    untilDone.exec();
    const QString output = QString::fromLocal8Bit(lxi.readAllStandardOutput());
    const auto result = QRegularExpression(R"(Result: ([0-9.]+) requests/second)").match(output);
    if (lxi.exitCode() != 0 || !result.hasMatch())
        fail("lxi benchmark " + options.join(' ').toStdString() + " gave no result: " + output.toStdString());
    return result.captured(1).toDouble();
}

} // namespace bench
