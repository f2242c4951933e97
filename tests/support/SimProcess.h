#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QStringList>
#include <chrono>
#include <csignal>
#include <optional>
#include <string>
#include <vector>

namespace test_support {

// r6140k-sim running as its own process. Serving, it runs with --trace and
// the given options: the pseudo-terminal's path it prints first, then every
// line it received, as it reports them. Run as given, it gets exactly the
// given arguments (to ask for --help, say).
class SimProcess {
public:
    enum class Start { Serving, AsGiven };
    static constexpr std::chrono::seconds ReplyWait { 10 };

    explicit SimProcess(QStringList options = {}, Start start = Start::Serving)
    {
        // QProcess needs an application object; a test program may have none.
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = { name, nullptr };
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(R6140K_SIM_PATH, start == Start::Serving ? QStringList { "--trace" } + options : options);
        if (start == Start::Serving)
            path_ = readLine().value_or("");
    }

    ~SimProcess()
    {
        process_.kill();
        process_.waitForFinished(5000);
    }

    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    const std::string& path() const { return path_; }
    qint64 pid() const { return process_.processId(); }

    // The next line the simulator prints, if one comes within ReplyWait.
    std::optional<std::string> readLine()
    {
        const auto deadline = std::chrono::steady_clock::now() + ReplyWait;
        while (!process_.canReadLine() && std::chrono::steady_clock::now() < deadline)
            process_.waitForReadyRead(100);
        if (!process_.canReadLine())
            return std::nullopt;
        QByteArray line = process_.readLine();
        line.chop(1);
        return line.toStdString();
    }

    // The lines received before the given marker line, which the test has the
    // panel send last, so that nothing sent before it can be missed.
    std::vector<std::string> receivedBefore(const std::string& marker)
    {
        std::vector<std::string> lines;
        for (auto line = readLine(); line && line->rfind("RX ", 0) == 0; line = readLine()) {
            if (line->substr(3) == marker)
                return lines;
            lines.push_back(line->substr(3));
        }
        lines.push_back("(no marker " + marker + ")");
        return lines;
    }

    // Sends the signal and waits for the end: the exit status, or nullopt if
    // the process did not exit by itself within ReplyWait.
    std::optional<int> stopWith(int signal)
    {
        ::kill(static_cast<pid_t>(pid()), signal);
        return waitForExit();
    }

    std::optional<int> waitForExit()
    {
        const auto waitMs = std::chrono::duration_cast<std::chrono::milliseconds>(ReplyWait).count();
        if (!process_.waitForFinished(static_cast<int>(waitMs)) || process_.exitStatus() != QProcess::NormalExit)
            return std::nullopt;
        return process_.exitCode();
    }

private:
    QProcess process_;
    std::string path_;
};

} // namespace test_support
