#pragma once

#include <QProcess>
#include <QStringList>
#include <chrono>
#include <string>
#include <vector>

namespace test_support {

// r6140k-sim running as its own process with --trace: its pseudo-terminal's
// path, and every line it received, as it reports them.
class SimProcess {
public:
    explicit SimProcess(QStringList options = {})
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(R6140K_SIM_PATH, QStringList { "--trace" } + options);
        path_ = readLine();
    }

    ~SimProcess()
    {
        process_.terminate();
        process_.waitForFinished(5000);
    }

    const std::string& path() const { return path_; }

    // The lines received before the given marker line, which the test has the
    // panel send last, so that nothing sent before it can be missed.
    std::vector<std::string> receivedBefore(const std::string& marker)
    {
        std::vector<std::string> lines;
        for (std::string line = readLine(); line.rfind("RX ", 0) == 0; line = readLine()) {
            if (line.substr(3) == marker)
                return lines;
            lines.push_back(line.substr(3));
        }
        lines.push_back("(no marker " + marker + ")");
        return lines;
    }

private:
    std::string readLine()
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!process_.canReadLine() && std::chrono::steady_clock::now() < deadline)
            process_.waitForReadyRead(100);
        if (!process_.canReadLine())
            return {};
        QByteArray line = process_.readLine();
        line.chop(1);
        return line.toStdString();
    }

    QProcess process_;
    std::string path_;
};

} // namespace test_support
