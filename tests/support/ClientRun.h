#pragma once

#include <QProcess>
#include <QStringList>
#include <algorithm>
#include <chrono>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "EventLoop.h"

namespace test_support {

// Runs client programs side by side to their ends while the event loop
// serves them; what each printed. Each command is the program and its
// arguments; each must end, with status 0, within the limit.
inline std::vector<std::string> runClients(
    const std::vector<QStringList>& commands, std::chrono::milliseconds limit = std::chrono::seconds(120))
{
    std::vector<std::unique_ptr<QProcess>> clients;
    for (const QStringList& command : commands) {
        clients.push_back(std::make_unique<QProcess>());
        clients.back()->start(command.front(), command.mid(1));
    }
    EXPECT_TRUE(pumpUntil([&clients] {
        return std::ranges::all_of(clients, [](const auto& client) { return client->state() == QProcess::NotRunning; });
    }, limit));
    std::vector<std::string> outputs;
    for (const auto& client : clients) {
        EXPECT_EQ(client->exitCode(), 0) << client->readAllStandardError().toStdString();
        outputs.push_back(client->readAllStandardOutput().trimmed().toStdString());
    }
    return outputs;
}

inline std::string runClient(const QString& program, const QStringList& arguments)
{
    return runClients({ QStringList { program } + arguments }).front();
}

} // namespace test_support
