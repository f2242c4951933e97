#pragma once

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <csignal>
#include <functional>

namespace test_support {

// A daemon in the foreground, started by the test and stopped with it
// (SIGTERM, then SIGKILL); ready() once the condition it was given holds,
// which the constructor waits for, for a bounded time, without running the
// event loop. The condition may take the daemon's process id, to tell its
// own sockets from another process's.
class DaemonProcess {
public:
    DaemonProcess(const QString& program, const QStringList& arguments, std::function<bool()> ready)
        : DaemonProcess(program, arguments, [ready = std::move(ready)](qint64) { return ready(); })
    {
    }
    DaemonProcess(const QString& program, const QStringList& arguments, std::function<bool(qint64 pid)> ready)
        : ready_(std::move(ready))
    {
        process_.setProcessChannelMode(QProcess::ForwardedChannels);
        process_.start(program, arguments);
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!ready_(process_.processId()) && std::chrono::steady_clock::now() < deadline)
            process_.waitForFinished(20); // returns early only if the daemon ended
    }
    ~DaemonProcess() { stop(); }
    DaemonProcess(const DaemonProcess&) = delete;
    DaemonProcess& operator=(const DaemonProcess&) = delete;

    bool ready() const { return process_.state() != QProcess::NotRunning && ready_(process_.processId()); }

    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        ::kill(static_cast<pid_t>(process_.processId()), SIGTERM);
        if (!process_.waitForFinished(5000))
            process_.kill();
        process_.waitForFinished(5000);
    }

private:
    std::function<bool(qint64)> ready_;
    QProcess process_;
};

} // namespace test_support
