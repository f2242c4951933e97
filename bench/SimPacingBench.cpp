// Whether r6140k-sim --pace times its replies like a 57600-baud 8N1 line: it
// answers a line only once the line's own bytes would have crossed the wire,
// then sends the reply one character time (173.6 µs) per byte. A plain
// terminal client writes a query and notes when each reply byte arrives.

#include <QCoreApplication>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "BenchReport.h"
#include "SimProcess.h"

using namespace bench;

namespace {

constexpr double CharacterTimeUs = 10 * 1e6 / 57600; // start bit, eight data bits, stop bit
constexpr int Rounds = 30;
constexpr int ReplyWaitMs = 5000;
const std::string Query = "*IDN?\r\n";

// The terminal end of the simulator's line, raw, as the panel opens it.
class Terminal {
public:
    explicit Terminal(const std::string& path)
        : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC))
    {
        termios attributes {};
        if (fd_ < 0 || tcgetattr(fd_, &attributes) != 0)
            fail("cannot open " + path);
        cfmakeraw(&attributes);
        tcsetattr(fd_, TCSANOW, &attributes);
    }
    ~Terminal() { close(fd_); }
    Terminal(const Terminal&) = delete;
    Terminal& operator=(const Terminal&) = delete;

    void send(const std::string& text)
    {
        if (write(fd_, text.data(), text.size()) != static_cast<ssize_t>(text.size()))
            fail("cannot write to the simulator's line");
    }

    // Reads up to the line feed; for every read, the bytes it got and when.
    std::vector<std::pair<std::size_t, Clock::time_point>> readReplyTimed()
    {
        std::vector<std::pair<std::size_t, Clock::time_point>> reads;
        for (char last = 0; last != '\n';) {
            pollfd ready { fd_, POLLIN, 0 };
            char bytes[256];
            const ssize_t count = poll(&ready, 1, ReplyWaitMs) == 1 ? read(fd_, bytes, sizeof bytes) : -1;
            if (count <= 0)
                fail("no reply from the simulator");
            reads.emplace_back(static_cast<std::size_t>(count), Clock::now());
            last = bytes[count - 1];
        }
        return reads;
    }

private:
    int fd_;
};

struct ReplyTiming {
    double firstByteUs; // from the query's write to the first reply byte
    double spacingUs; // mean time between reply bytes
    double wholeUs; // from the query's write to the last reply byte
    std::size_t replyBytes;
};

ReplyTiming timeOneExchange(Terminal& terminal)
{
    const auto start = Clock::now();
    terminal.send(Query);
    const auto reads = terminal.readReplyTimed();
    std::size_t bytes = 0;
    for (const auto& [count, at] : reads)
        bytes += count;
    const auto microseconds
        = [start](Clock::time_point at) { return std::chrono::duration<double, std::micro>(at - start).count(); };
    const double first = microseconds(reads.front().second);
    const double last = microseconds(reads.back().second);
    return { first, (last - first) / static_cast<double>(bytes - 1), last, bytes };
}

bool within(double value, double low, double high)
{
    return value >= low && value <= high;
}

// A paced time is right when it is no shorter than the given characters take
// on the wire, and late by less than one more character.
void reportPacedTime(const std::string& figure, double measuredUs, std::size_t characters)
{
    const double wireUs = static_cast<double>(characters) * CharacterTimeUs;
    report(figure + ", median of " + std::to_string(Rounds), fixed(measuredUs, 0) + " µs",
        fixed(wireUs, 0) + " µs (" + std::to_string(characters) + " characters) to one character later",
        yesNo(within(measuredUs, wireUs, wireUs + CharacterTimeUs)));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    test_support::SimProcess simulator({ "--pace" });
    Terminal terminal(simulator.path());
    std::vector<double> first, spacing, whole;
    std::size_t replyBytes = 0;
    for (int round = 0; round < Rounds; ++round) {
        const ReplyTiming timing = timeOneExchange(terminal);
        first.push_back(timing.firstByteUs);
        spacing.push_back(timing.spacingUs);
        whole.push_back(timing.wholeUs);
        replyBytes = timing.replyBytes;
    }

    // The first reply byte has crossed the wire one character after the query.
    reportPacedTime("r6140k-sim --pace: first reply byte after *IDN?", median(first), Query.size() + 1);
    const double spacingUs = median(spacing);
    report("r6140k-sim --pace: spacing of reply bytes, median of " + std::to_string(Rounds),
        fixed(spacingUs, 1) + " µs", fixed(CharacterTimeUs, 1) + " µs ± 2 %",
        yesNo(within(spacingUs, CharacterTimeUs * 0.98, CharacterTimeUs * 1.02)));
    reportPacedTime("r6140k-sim --pace: whole *IDN? exchange", median(whole), Query.size() + replyBytes);
    return 0;
}
