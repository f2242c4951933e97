// How long a client takes, once a reply has left the instrument, to send its
// next query: timed from the instrument's side of a pseudo-terminal, for the
// panel's read-back through the serial backend, for a plain C loop over the
// same line (the floor), and for a pyserial loop where Python has pyserial.

#include <QApplication>
#include <QProcess>
#include <atomic>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "BenchReport.h"
#include "PanelStartUp.h"
#include "SerialBridge.h"
#include "Instrument.h"

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
    TimedInstrument()
    {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0 || pipe(stop_) != 0)
            fail("openpty or pipe failed");
        path_ = name;
        makeRaw(slave_);
        server_ = std::thread([this] { serve(); });
    }

    ~TimedInstrument()
    {
        [[maybe_unused]] const auto ignored = ::write(stop_[1], "x", 1);
        server_.join();
        for (int fd : { master_, slave_, stop_[0], stop_[1] })
            ::close(fd);
    }

    TimedInstrument(const TimedInstrument&) = delete;
    TimedInstrument& operator=(const TimedInstrument&) = delete;

    const std::string& path() const { return path_; }

    // The turnarounds noted since the last call, in microseconds.
    std::vector<double> takeTurnarounds()
    {
        while (busy_.exchange(true)) { }
        std::vector<double> taken = std::move(turnarounds_);
        turnarounds_.clear();
        busy_ = false;
        return taken;
    }

private:
    void serve()
    {
        std::string line;
        Clock::time_point firstByteAt = Clock::now();
        Clock::time_point repliedAt = firstByteAt;
        bool replied = false;
        for (;;) {
            pollfd watched[] = { { master_, POLLIN, 0 }, { stop_[0], POLLIN, 0 } };
            if (::poll(watched, 2, -1) < 0 || watched[1].revents != 0)
                return;
            char chunk[512];
            const ssize_t got = ::read(master_, chunk, sizeof chunk);
            if (got <= 0)
                return;
            if (line.empty())
                firstByteAt = Clock::now();
            line.append(chunk, static_cast<std::size_t>(got));
            for (std::size_t end; (end = line.find('\n')) != std::string::npos; line.erase(0, end + 1)) {
                if (replied)
                    note(std::chrono::duration<double, std::micro>(firstByteAt - repliedAt).count());
                const std::string reply = instrument_.receive(line.substr(0, end + 1));
                replied = !reply.empty() && ::write(master_, reply.data(), reply.size()) > 0;
                repliedAt = Clock::now();
                firstByteAt = Clock::now();
            }
        }
    }

    void note(double microseconds)
    {
        while (busy_.exchange(true)) { }
        turnarounds_.push_back(microseconds);
        busy_ = false;
    }

    sim::Instrument instrument_;
    int master_ = -1;
    int slave_ = -1;
    int stop_[2] = { -1, -1 };
    std::string path_;
    std::atomic<bool> busy_ = false;
    std::vector<double> turnarounds_;
    std::thread server_;
};

std::vector<std::string> readBackQueries()
{
    std::vector<std::string> queries;
    for (const usblink::Setting& setting : usblink::Settings)
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
