// A burst of 10,000 slider steps from the keyboard, round the six offset
// sliders, through the panel to the simulator: how fast the messages leave,
// and whether the simulator received every one, in the order of the steps.
// The traffic log records every line from start-up, open or closed; bursts
// with it recording, closed and open, take turns with bursts where nothing
// records (the log window destroyed, so that no one observes the session's
// lines, as before the log recorded while closed): recording should cost
// the burst little. Bursts with the reference-lock watch asking at its
// usual rate, and every 100 ms (twenty times that), take turns with bursts
// without it: the watch should slow the burst by 2 % at most.

#include <QApplication>
#include <QTest>
#include <functional>
#include <map>
#include <optional>

#include "BenchReport.h"
#include "PanelStartUp.h"
#include "CommandSet.h"
#include "Settings.h"
#include "SerialBridge.h"
#include "SimulatedBridge.h"
#include "SimProcess.h"
#include "frmTrafficLog.h"

using namespace bench;
using panel::SettingScrollBar;
namespace commands = instrument::commands;

namespace {

constexpr int Steps = 10000;
constexpr double LineBytesPerSecond = 57600.0 / 10; // 8N1: ten bits a character
constexpr const char* Marker = "*CLS";
constexpr double LogCostGoal = 0.90; // throughput with the log recording, against none recording
constexpr int Rounds = 5;
constexpr std::chrono::milliseconds UsualWatch { 5000 }; // the panel's default
constexpr std::chrono::milliseconds BusyWatch { 100 };
constexpr double WatchCostGoal = 0.98; // throughput with the lock watch asking, against none

enum class TrafficLog { Absent, Closed, Open };

// The attenuators have only 128 steps; the offsets have room for the burst.
const std::vector<instrument::Setting> OffsetSettings = [] {
    std::vector<instrument::Setting> offsets;
    std::ranges::copy_if(instrument::Settings, std::back_inserter(offsets),
        [](const instrument::Setting& setting) { return setting.kind == instrument::SettingKind::Offset; });
    return offsets;
}();

// One burst: how long it took, the message each step should cause, what
// the instrument received, and how many lines the traffic log kept, if any.
struct Burst {
    double seconds = 0;
    std::vector<std::string> expected;
    std::vector<std::string> received;
    std::optional<qsizetype> listed;
    int lockQueries = 0; // the watch's, taken out of what the instrument received

    // The burst's own messages, without the watch's queries among them.
    void takeLockQueriesOut()
    {
        lockQueries = static_cast<int>(std::erase(received, commands::ReferenceLockQuery));
    }

    double rate() const { return Steps / seconds; }
    bool complete() const { return received == expected; }
};

// Presses Up on each offset slider in turn; every press raises one setting.
Burst stepSliders(frmMain& main)
{
    Burst burst;
    burst.expected.reserve(Steps);
    const auto start = Clock::now();
    for (int step = 0; step < Steps; ++step) {
        const instrument::Setting& target = OffsetSettings[step % OffsetSettings.size()];
        SettingScrollBar* slider = main.slider(target.id);
        QTest::keyClick(slider, Qt::Key_Up);
        burst.expected.push_back(commands::withArgument(target.prefix, slider->setting()));
    }
    burst.seconds = microsecondsSince(start) / 1e6;
    return burst;
}

// The log as the burst should find it: destroyed (the run then never opens
// it), recording while closed, or open. Returns it unless destroyed.
frmTrafficLog* arrangeLog(frmMain& main, TrafficLog log)
{
    auto* window = main.findChild<frmTrafficLog*>();
    switch (log) {
    case TrafficLog::Absent:
        delete window;
        return nullptr;
    case TrafficLog::Closed:
        return window;
    case TrafficLog::Open:
        return main.showTrafficLog();
    }
    return nullptr;
}

std::string describe(TrafficLog log)
{
    static const char* const Names[]
        = { "no traffic log", "traffic log recording, closed", "traffic log recording, open" };
    return Names[static_cast<int>(log)];
}

std::optional<qsizetype> linesListed(frmTrafficLog* log)
{
    if (!log)
        return std::nullopt;
    return log->linesAsText().count('\n');
}

// The rate the line itself allows for these messages, each ended by CR LF.
double lineRate(const std::vector<std::string>& messages)
{
    double bytes = 0;
    for (const std::string& message : messages)
        bytes += static_cast<double>(message.size() + 2);
    return LineBytesPerSecond * static_cast<double>(messages.size()) / bytes;
}

std::string receiptText(const std::vector<std::string>& expected, const std::vector<std::string>& received)
{
    const auto [wanted, got] = std::ranges::mismatch(expected, received);
    std::string text = std::to_string(received.size()) + " received";
    if (wanted == expected.end() && got == received.end())
        return text + ", in order";
    return text + ", first difference at message " + std::to_string(wanted - expected.begin() + 1);
}

// Reports the bursts' median rate, the first burst that lost or reordered
// a message (or else the first), and what the log kept; returns the rate.
double reportBursts(const std::string& where, const std::vector<Burst>& bursts)
{
    std::vector<double> rates;
    for (const Burst& burst : bursts)
        rates.push_back(burst.rate());
    const double rate = median(rates);
    const double goal = lineRate(bursts.front().expected);
    const std::string figure = "10,000 slider steps, " + where;
    report(figure + ": messages per second, median of " + std::to_string(bursts.size()), fixed(rate, 0),
        "≥ " + fixed(goal, 0) + " (the line's own rate)", yesNo(rate >= goal));
    const auto incomplete = std::ranges::find_if(bursts, [](const Burst& burst) { return !burst.complete(); });
    const Burst& shown = incomplete == bursts.end() ? bursts.front() : *incomplete;
    report(figure + ": received", receiptText(shown.expected, shown.received), "all 10000, in order",
        yesNo(shown.complete()));
    if (const auto least = std::ranges::min(bursts, {}, &Burst::listed).listed)
        report(figure + ": lines the log keeps, fewest", std::to_string(*least), "10000 (all it keeps)",
            yesNo(*least == Steps));
    return rate;
}

// Bursts with no log, and with the log closed and open, take turns, so that
// a change in the machine's load falls on all alike; the medians of those
// with the log recording are compared with the median of those without.
void compareWithTrafficLog(const std::string& where, const std::function<Burst(TrafficLog)>& run)
{
    std::map<TrafficLog, std::vector<Burst>> bursts;
    for (int round = 0; round < Rounds; ++round)
        for (const TrafficLog log : { TrafficLog::Absent, TrafficLog::Closed, TrafficLog::Open })
            bursts[log].push_back(run(log));
    const double rateWithout = reportBursts(where + ", " + describe(TrafficLog::Absent), bursts[TrafficLog::Absent]);
    for (const TrafficLog log : { TrafficLog::Closed, TrafficLog::Open }) {
        const std::string with = describe(log);
        const double ratio = reportBursts(where + ", " + with, bursts[log]) / rateWithout;
        report("10,000 slider steps, " + where + ": rate with the " + with + " / with none", fixed(ratio, 3),
            "≥ " + fixed(LogCostGoal, 2), yesNo(ratio >= LogCostGoal));
    }
}

Burst inProcess(TrafficLog log, std::chrono::milliseconds lockWatch = {})
{
    sim::SimulatedBridge simulator;
    test_support::PanelHarness panel(simulator, {}, lockWatch);
    startUpOn(panel, std::string(sim::SimulatedBridge::Description) + " " + sim::SimulatedBridge::SerialNumber);
    frmTrafficLog* window = arrangeLog(panel.main, log);
    std::vector<std::string> received;
    simulator.instrument().setLineObserver([&received](std::string_view line) { received.emplace_back(line); });
    Burst burst = stepSliders(panel.main);
    burst.received = std::move(received);
    burst.takeLockQueriesOut();
    burst.listed = linesListed(window);
    return burst;
}

Burst serialLine(TrafficLog log, std::chrono::milliseconds lockWatch = {})
{
    test_support::SimProcess simulator;
    usblink::SerialBridge serial({ simulator.path() });
    test_support::PanelHarness panel(serial, {}, lockWatch);
    startUpOn(panel, "R6140K " + simulator.path());
    // The simulator reports what it receives; the start-up lines come first.
    panel.session.send(Marker);
    simulator.receivedBefore(Marker);
    frmTrafficLog* window = arrangeLog(panel.main, log);
    Burst burst = stepSliders(panel.main);
    panel.session.send(Marker);
    burst.received = simulator.receivedBefore(Marker);
    burst.takeLockQueriesOut();
    burst.listed = linesListed(window);
    return burst;
}

// Bursts with the watch asking and without it take turns, the log closed.
void compareWithLockWatch(const std::string& where, std::chrono::milliseconds interval,
    const std::function<Burst(std::chrono::milliseconds)>& run)
{
    std::vector<Burst> without, with;
    for (int round = 0; round < Rounds; ++round) {
        without.push_back(run({}));
        with.push_back(run(interval));
    }
    const std::string watch = "lock watch every " + std::to_string(interval.count()) + " ms";
    const double rateWithout = reportBursts(where + ", no lock watch", without);
    const double ratio = reportBursts(where + ", " + watch, with) / rateWithout;
    const int asked = std::ranges::min(with, {}, &Burst::lockQueries).lockQueries;
    // At the usual interval a burst in process is over before the watch's
    // first query is due, so only the busy watch must ask during one.
    const bool mustAsk = interval == BusyWatch;
    report("10,000 slider steps, " + where + ", " + watch + ": queries during a burst, fewest", std::to_string(asked),
        mustAsk ? "≥ 1 (it asks while the operator works)" : "-", mustAsk ? yesNo(asked >= 1) : "-");
    report("10,000 slider steps, " + where + ": rate with the " + watch + " / without", fixed(ratio, 3),
        "≥ " + fixed(WatchCostGoal, 2), yesNo(ratio >= WatchCostGoal));
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessChosen();
    QApplication application(argc, argv);
    compareWithTrafficLog("in-process simulator", [](TrafficLog log) { return inProcess(log); });
    compareWithTrafficLog("r6140k-sim over a pseudo-terminal", [](TrafficLog log) { return serialLine(log); });
    for (const auto interval : { UsualWatch, BusyWatch }) {
        compareWithLockWatch(
            "in-process simulator", interval, [](auto watch) { return inProcess(TrafficLog::Closed, watch); });
        compareWithLockWatch("r6140k-sim over a pseudo-terminal", interval,
            [](auto watch) { return serialLine(TrafficLog::Closed, watch); });
    }
    return 0;
}
