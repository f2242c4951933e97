// A burst of 10,000 slider steps from the keyboard, round the six offset
// sliders, through the panel to the simulator: how fast the messages leave,
// and whether the simulator received every one, in the order of the steps.
// Bursts with the traffic log closed and open take turns: the log, which
// lists every line, should cost the burst little.

#include <QApplication>
#include <QTest>
#include <functional>
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
constexpr double LogCostGoal = 0.90; // throughput with the log open, against closed
constexpr int Rounds = 3;

enum class TrafficLog { Closed, Open };

// The attenuators have only 128 steps; the offsets have room for the burst.
const std::vector<instrument::Setting> OffsetSettings = [] {
    std::vector<instrument::Setting> offsets;
    std::ranges::copy_if(instrument::Settings, std::back_inserter(offsets),
        [](const instrument::Setting& setting) { return setting.kind == instrument::SettingKind::Offset; });
    return offsets;
}();

// One burst: how long it took, the message each step should cause, what
// the instrument received, and how many lines the traffic log kept, if open.
struct Burst {
    double seconds = 0;
    std::vector<std::string> expected;
    std::vector<std::string> received;
    std::optional<qsizetype> listed;

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

frmTrafficLog* openIfAsked(frmMain& main, TrafficLog log)
{
    return log == TrafficLog::Open ? main.showTrafficLog() : nullptr;
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

// Bursts with the log closed and open take turns, so that a change in the
// machine's load falls on both alike; their medians are compared.
void compareWithTrafficLog(const std::string& where, const std::function<Burst(TrafficLog)>& run)
{
    std::vector<Burst> closed, open;
    for (int round = 0; round < Rounds; ++round) {
        closed.push_back(run(TrafficLog::Closed));
        open.push_back(run(TrafficLog::Open));
    }
    const double closedRate = reportBursts(where, closed);
    const double ratio = reportBursts(where + ", traffic log open", open) / closedRate;
    report("10,000 slider steps, " + where + ": rate with the traffic log open / closed", fixed(ratio, 3),
        "≥ " + fixed(LogCostGoal, 2), yesNo(ratio >= LogCostGoal));
}

Burst inProcess(TrafficLog log)
{
    sim::SimulatedBridge simulator;
    test_support::PanelHarness panel(simulator);
    startUpOn(panel, std::string(sim::SimulatedBridge::Description) + " " + sim::SimulatedBridge::SerialNumber);
    frmTrafficLog* window = openIfAsked(panel.main, log);
    std::vector<std::string> received;
    simulator.instrument().setLineObserver([&received](std::string_view line) { received.emplace_back(line); });
    Burst burst = stepSliders(panel.main);
    burst.received = std::move(received);
    burst.listed = linesListed(window);
    return burst;
}

Burst serialLine(TrafficLog log)
{
    test_support::SimProcess simulator;
    usblink::SerialBridge serial({ simulator.path() });
    test_support::PanelHarness panel(serial);
    startUpOn(panel, "R6140K " + simulator.path());
    // The simulator reports what it receives; the start-up lines come first.
    panel.session.send(Marker);
    simulator.receivedBefore(Marker);
    frmTrafficLog* window = openIfAsked(panel.main, log);
    Burst burst = stepSliders(panel.main);
    panel.session.send(Marker);
    burst.received = simulator.receivedBefore(Marker);
    burst.listed = linesListed(window);
    return burst;
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessChosen();
    QApplication application(argc, argv);
    compareWithTrafficLog("in-process simulator", inProcess);
    compareWithTrafficLog("r6140k-sim over a pseudo-terminal", serialLine);
    return 0;
}
