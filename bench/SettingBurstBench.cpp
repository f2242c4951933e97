// A burst of 10,000 slider steps from the keyboard, round the six offset
// sliders, through the panel to the simulator: how fast the messages leave,
// and whether the simulator received every one, in the order of the steps.

#include <QApplication>
#include <QTest>

#include "BenchReport.h"
#include "PanelStartUp.h"
#include "CommandSet.h"
#include "Settings.h"
#include "SerialBridge.h"
#include "SimulatedBridge.h"
#include "SimProcess.h"

using namespace bench;
using panel::SettingScrollBar;
namespace commands = usblink::commands;

namespace {

constexpr int Steps = 10000;
constexpr double LineBytesPerSecond = 57600.0 / 10; // 8N1: ten bits a character
constexpr const char* Marker = "*CLS";

// The attenuators have only 128 steps; the offsets have room for the burst.
const std::vector<usblink::Setting> OffsetSettings = [] {
    std::vector<usblink::Setting> offsets;
    std::ranges::copy_if(usblink::Settings, std::back_inserter(offsets),
        [](const usblink::Setting& setting) { return setting.kind == usblink::SettingKind::Offset; });
    return offsets;
}();

struct Burst {
    double seconds = 0;
    std::vector<std::string> expected; // the message each step should cause
};

// Presses Up on each offset slider in turn; every press raises one setting.
Burst stepSliders(frmMain& main)
{
    Burst burst;
    burst.expected.reserve(Steps);
    const auto start = Clock::now();
    for (int step = 0; step < Steps; ++step) {
        const usblink::Setting& target = OffsetSettings[step % OffsetSettings.size()];
        SettingScrollBar* slider = main.slider(target.id);
        QTest::keyClick(slider, Qt::Key_Up);
        burst.expected.push_back(commands::withArgument(target.prefix, slider->setting()));
    }
    burst.seconds = microsecondsSince(start) / 1e6;
    return burst;
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

void reportBurst(const std::string& where, const Burst& burst, const std::vector<std::string>& received)
{
    const double rate = Steps / burst.seconds;
    const double goal = lineRate(burst.expected);
    report("10,000 slider steps, " + where + ": messages per second", fixed(rate, 0),
        "≥ " + fixed(goal, 0) + " (the line's own rate)", yesNo(rate >= goal));
    report("10,000 slider steps, " + where + ": received", receiptText(burst.expected, received), "all 10000, in order",
        yesNo(received == burst.expected));
}

void inProcess()
{
    sim::SimulatedBridge simulator;
    test_support::PanelHarness panel(simulator);
    startUpOn(panel, std::string(sim::SimulatedBridge::Description) + " " + sim::SimulatedBridge::SerialNumber);
    std::vector<std::string> received;
    simulator.instrument().setLineObserver([&received](std::string_view line) { received.emplace_back(line); });
    const Burst burst = stepSliders(panel.main);
    reportBurst("in-process simulator", burst, received);
}

void serialLine()
{
    test_support::SimProcess simulator;
    usblink::SerialBridge serial({ simulator.path() });
    test_support::PanelHarness panel(serial);
    startUpOn(panel, "R6140K " + simulator.path());
    // The simulator reports what it receives; the start-up lines come first.
    panel.session.send(Marker);
    simulator.receivedBefore(Marker);
    const Burst burst = stepSliders(panel.main);
    panel.session.send(Marker);
    reportBurst("r6140k-sim over a pseudo-terminal", burst, simulator.receivedBefore(Marker));
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessChosen();
    QApplication application(argc, argv);
    inProcess();
    serialLine();
    return 0;
}
