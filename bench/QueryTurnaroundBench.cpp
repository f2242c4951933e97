// How long a client takes, once a reply has left the instrument, to send its
// next query: timed from the instrument's side of a pseudo-terminal, for the
// panel's read-back through the serial backend, for a plain C loop over the
// same line (the floor), and for a pyserial loop where Python has pyserial.

#include <QApplication>
#include <QProcess>
#include <mutex>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <utility>
#include <unistd.h>

#include "BenchReport.h"
#include "PanelStartUp.h"
#include "SerialBridge.h"
#include "Instrument.h"
#include "PseudoTerminal.h"

using namespace bench;

namespace {

constexpr int ReadBacks = 300;
const std::string PythonLoop = R"(
import serial, sys
line = serial.Serial(sys.argv[1], 57600, timeout=5)
queries = sys.argv[3:]
for _ in range(int(sys.argv[2])):
    for query in queries:
        line.write((query + "\r\n").encode())
        if not line.readline().endswith(b"\n"):
            sys.exit(1)
)";

void makeRaw(int fd)
{
    termios settings {};
    tcgetattr(fd, &settings);
    cfmakeraw(&settings);
    tcsetattr(fd, TCSANOW, &settings);
}

// The simulated instrument on the master side of a pseudo-terminal, on a
// thread of its own. For every line that follows a reply it notes how long
// after the reply was written the line's first byte arrived.
class TimedInstrument {
public:
    const std::string& path() const { return terminal_.path(); }

    // The turnarounds noted since the last call, in microseconds.
    std::vector<double> takeTurnarounds()
    {
        const std::lock_guard lock(mutex_);
        return std::exchange(turnarounds_, {});
    }

private:
    bool take(std::string_view chunk)
    {
        if (line_.empty())
            firstByteAt_ = Clock::now();
        line_ += chunk;
        for (std::size_t end; (end = line_.find('\n')) != std::string::npos; line_.erase(0, end + 1)) {
            if (replied_)
                note(std::chrono::duration<double, std::micro>(firstByteAt_ - repliedAt_).count());
            const std::string reply = instrument_.receive(line_.substr(0, end + 1));
            replied_ = !reply.empty() && ::write(terminal_.master(), reply.data(), reply.size()) > 0;
            repliedAt_ = Clock::now();
            firstByteAt_ = Clock::now();
        }
        return true;
    }

    void note(double microseconds)
    {
        const std::lock_guard lock(mutex_);
        turnarounds_.push_back(microseconds);
    }

    sim::Instrument instrument_;
    std::string line_;
    Clock::time_point firstByteAt_ = Clock::now();
    Clock::time_point repliedAt_ = firstByteAt_;
    bool replied_ = false;
    std::mutex mutex_;
    std::vector<double> turnarounds_;
    test_support::PseudoTerminal terminal_;
    test_support::MasterServer server_ { terminal_, [this](std::string_view chunk) { return take(chunk); } };
};

std::vector<std::string> readBackQueries()
{
    std::vector<std::string> queries;
    for (const instrument::Setting& setting : instrument::Settings)
        queries.push_back(setting.query);
    queries.push_back(":SYST:REFL?");
    return queries;
}

double panelTurnaround(TimedInstrument& instrument)
{
    usblink::SerialBridge serial({ instrument.path() });
    test_support::PanelHarness panel(serial);
    startUpOn(panel, "R6140K " + instrument.path());
    instrument.takeTurnarounds();
    for (int run = 0; run < ReadBacks; ++run)
        panel.main.RefreshFromInstrument();
    return median(instrument.takeTurnarounds());
}

double plainLoopTurnaround(TimedInstrument& instrument)
{
    const int fd = ::open(instrument.path().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        fail("cannot open " + instrument.path());
    makeRaw(fd);
    const auto queries = readBackQueries();
    for (int run = 0; run < ReadBacks; ++run) {
        for (const std::string& query : queries) {
            const std::string line = query + "\r\n";
            if (::write(fd, line.data(), line.size()) != static_cast<ssize_t>(line.size()))
                fail("cannot write to the instrument's line");
            for (char last = 0; last != '\n';) {
                pollfd ready { fd, POLLIN, 0 };
                char bytes[256];
                const ssize_t count = ::poll(&ready, 1, 5000) == 1 ? ::read(fd, bytes, sizeof bytes) : -1;
                if (count <= 0)
                    fail("no reply on the instrument's line");
                last = bytes[count - 1];
            }
        }
    }
    ::close(fd);
    return median(instrument.takeTurnarounds());
}

// nullopt where Python lacks pyserial.
std::optional<double> pyserialTurnaround(TimedInstrument& instrument)
{
    QStringList arguments = { "-c", QString::fromStdString(PythonLoop), QString::fromStdString(instrument.path()),
        QString::number(ReadBacks) };
    for (const std::string& query : readBackQueries())
        arguments << QString::fromStdString(query);
    QProcess python;
    python.start("/usr/bin/python3", arguments);
    if (!python.waitForFinished(120000) || python.exitStatus() != QProcess::NormalExit || python.exitCode() != 0)
        return std::nullopt;
    return median(instrument.takeTurnarounds());
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessChosen();
    QApplication application(argc, argv);
    TimedInstrument instrument;
    const std::string runs = ", median of " + std::to_string(ReadBacks * 12);
    const double plain = plainLoopTurnaround(instrument);
    const auto pyserial = pyserialTurnaround(instrument);
    const double panel = panelTurnaround(instrument);
    report("Reply to next query, from the instrument's side of a pseudo-terminal: plain C loop" + runs,
        fixed(plain, 1) + " µs");
    report("Reply to next query, same line: pyserial loop" + runs, pyserial ? fixed(*pyserial, 1) + " µs" : "no pyserial");
    report("Reply to next query, same line: the panel's read-back" + runs, fixed(panel, 1) + " µs",
        pyserial ? "≤ " + fixed(*pyserial, 1) + " µs (pyserial)" : "-", pyserial ? yesNo(panel <= *pyserial) : "-");
    return 0;
}
