// r6140k-sim run as its own process, reached through its pseudo-terminal the
// way the panel reaches it.

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <fstream>
#include <optional>
#include <poll.h>
#include <string>
#include <unistd.h>
#include <vector>

#include "SimProcess.h"
#include "Version.h"

namespace {

using test_support::SimProcess;

using Clock = std::chrono::steady_clock;
constexpr auto IoTimeout = std::chrono::seconds(5);

// Reads from fd into pending until it holds delimiter, within IoTimeout.
// Returns the text up to and including the delimiter, or nullopt on time-out
// or end of file.
std::optional<std::string> readUntil(int fd, std::string& pending, const std::string& delimiter)
{
    const auto deadline = Clock::now() + IoTimeout;
    while (pending.find(delimiter) == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd pfd { fd, POLLIN, 0 };
        if (left.count() <= 0 || poll(&pfd, 1, static_cast<int>(left.count())) <= 0)
            return std::nullopt;
        char buffer[512];
        const ssize_t count = read(fd, buffer, sizeof buffer);
        if (count <= 0)
            return std::nullopt;
        pending.append(buffer, static_cast<std::size_t>(count));
    }
    const auto end = pending.find(delimiter) + delimiter.size();
    std::string text = pending.substr(0, end);
    pending.erase(0, end);
    return text;
}

void writeAll(int fd, const std::string& text)
{
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

// The panel's end of the simulator's terminal.
class Terminal {
public:
    explicit Terminal(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
    }
    ~Terminal() { close(fd_); }

    bool isOpen() const { return fd_ >= 0; }
    void send(const std::string& text) { writeAll(fd_, text); }
    std::optional<std::string> readReply() { return readUntil(fd_, pending_, "\r\n"); }

private:
    int fd_;
    std::string pending_;
};

TEST(SimProcess, ServesTheInstrumentOnThePrintedTerminal)
{
    SimProcess sim;
    ASSERT_FALSE(sim.path().empty());
    Terminal terminal(sim.path());
    ASSERT_TRUE(terminal.isOpen()) << sim.path();
    terminal.send(":BAS:IOFF 5\r\n:BAS:IOFF?\r\n");
    EXPECT_EQ(terminal.readReply(), "5\r\n");
    terminal.send("*IDN?\n");
    EXPECT_EQ(terminal.readReply(), "R6140K Simulator,R6140K,SIM00001," + std::string(app::VersionText) + "\r\n");
    EXPECT_EQ(sim.stopWith(SIGTERM), 0);
}

TEST(SimProcess, KeepsStateWhenTheClientClosesAndReopens)
{
    SimProcess sim;
    ASSERT_FALSE(sim.path().empty());
    {
        Terminal first(sim.path());
        ASSERT_TRUE(first.isOpen());
        first.send(":MOD:IATT 40\r\n:MOD:IATT?\r\n");
        ASSERT_EQ(first.readReply(), "40\r\n");
    }
    Terminal second(sim.path());
    ASSERT_TRUE(second.isOpen());
    second.send(":MOD:IATT?\r\n");
    EXPECT_EQ(second.readReply(), "40\r\n");
    EXPECT_EQ(sim.stopWith(SIGINT), 0);
}

TEST(SimProcess, TracePrintsEachReceivedLine)
{
    SimProcess sim;
    Terminal terminal(sim.path());
    terminal.send(":BAS:IOFF 5\r\n:BAS:IOFF?\r\n");
    ASSERT_EQ(terminal.readReply(), "5\r\n");
    EXPECT_EQ(sim.readLine(), "RX :BAS:IOFF 5");
    EXPECT_EQ(sim.readLine(), "RX :BAS:IOFF?");
    EXPECT_EQ(sim.stopWith(SIGTERM), 0);
}

TEST(SimProcess, PacedRepliesTakeAtLeastTheirWireTime)
{
    const std::string serial(300, 'S');
    SimProcess sim({ "--pace", "--serial", QString::fromStdString(serial) });
    Terminal terminal(sim.path());
    const std::string query = "*IDN?\n";
    const std::string expected = "R6140K Simulator,R6140K," + serial + "," + std::string(app::VersionText) + "\r\n";

    const auto start = Clock::now();
    terminal.send(query);
    EXPECT_EQ(terminal.readReply(), expected);
    const auto elapsed = Clock::now() - start;

    // Every byte, the query's and the reply's, is 10 bits at 57600 baud.
    const auto wireTime = std::chrono::microseconds((query.size() + expected.size()) * 10 * 1'000'000 / 57600);
    EXPECT_GE(elapsed, wireTime * 9 / 10);
    EXPECT_EQ(sim.stopWith(SIGTERM), 0);
}

// How late the kernel may wake the process from a timed sleep, in ns.
std::optional<long> timerSlackNs(qint64 pid)
{
    std::ifstream file("/proc/" + std::to_string(pid) + "/timerslack_ns");
    long slack = 0;
    if (!(file >> slack))
        return std::nullopt;
    return slack;
}

TEST(SimProcess, PacedRepliesAskForWakeUpsOnTime)
{
    SimProcess paced({ "--pace" });
    ASSERT_FALSE(paced.path().empty()); // the terminal is served: set-up is done
    EXPECT_EQ(timerSlackNs(paced.pid()), 1);
}

TEST(SimProcess, VersionAndBadOptionsEndAtOnce)
{
    SimProcess version({ "--version" }, SimProcess::Start::AsGiven);
    EXPECT_EQ(version.readLine(), "r6140k-sim " + std::string(app::VersionText));
    EXPECT_EQ(version.waitForExit(), 0);

    SimProcess help({ "--help" }, SimProcess::Start::AsGiven);
    EXPECT_EQ(help.readLine().value_or("").rfind("Usage: r6140k-sim", 0), 0u);
    EXPECT_EQ(help.waitForExit(), 0);

    SimProcess bad({ "--bogus" }, SimProcess::Start::AsGiven);
    EXPECT_EQ(bad.waitForExit(), 2);
}

// The analyzer's failure after the readings asked for, on its raw socket;
// a fault that names no kind or no whole count ends the program at once.
TEST(SimProcess, TheAnalyzerFailsAsAskedAfterItsReadings)
{
    SimProcess simulator({ "--analyzer", "127.0.0.1:0", "--analyzer-fault", "nan:1" });
    const std::string resource = simulator.readLine().value_or("");
    const std::size_t port = resource.find("::", 9) + 2;
    sockaddr_in address { .sin_family = AF_INET, .sin_port = htons(std::stoi(resource.substr(port))), .sin_addr = { htonl(INADDR_LOOPBACK) } };
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << resource;
    writeAll(fd, ":CALC:MARK1:Y?\n:CALC:MARK1:Y?\n");
    std::string pending;
    EXPECT_NE(readUntil(fd, pending, "\n"), "9.91E+37\n") << "the first reading is a level";
    EXPECT_EQ(readUntil(fd, pending, "\n"), "9.91E+37\n");
    close(fd);

    for (const char* bad : { "nan", "nan:x", "boom:3", "silent:-1", "hang-up:1.5" }) {
        SimProcess refused({ "--analyzer", "127.0.0.1:0", "--analyzer-fault", bad }, SimProcess::Start::AsGiven);
        EXPECT_EQ(refused.waitForExit(), 2) << bad;
    }
}

} // namespace
