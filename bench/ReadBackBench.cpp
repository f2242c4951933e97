// The panel's full read-back (frmMain::RefreshFromInstrument: eleven settings
// and the reference lock, one query at a time) timed over a pseudo-terminal
// paced like the 57600-baud line, over one answered at once, and in-process.

#include <QApplication>
#include <QLabel>

#include "BenchReport.h"
#include "MeteredBridge.h"
#include "PanelStartUp.h"
#include "SerialBridge.h"
#include "SimulatedBridge.h"
#include "SimProcess.h"

using namespace bench;
using panel::SettingScrollBar;

namespace {

constexpr double LineBytesPerSecond = 57600.0 / 10; // 8N1: ten bits a character
constexpr double QueriesPerReadBack = 12;
constexpr double PacedGoal = 1.10;
constexpr double QueryGoalUs = 200;

struct SliderValue {
    instrument::SettingId setting;
    int value;
};

// Values at the ends of the ranges and between, so that the replies take
// their longest forms as well as short ones.
const SliderValue InstrumentState[] = {
    { instrument::SettingId::BasebandIOffset, -32768 },
    { instrument::SettingId::BasebandQOffset, 32767 },
    { instrument::SettingId::ModulatorIInputOffset, -1234 },
    { instrument::SettingId::ModulatorQInputOffset, 567 },
    { instrument::SettingId::ModulatorIAttenuator, 127 },
    { instrument::SettingId::ModulatorQAttenuator, 40 },
    { instrument::SettingId::ModulatorIOffset, -9 },
    { instrument::SettingId::ModulatorQOffset, 20000 },
};

// Sends the state to the instrument, then clears the sliders without sending,
// so that only a read-back can bring the values back.
void setInstrumentState(frmMain& main)
{
    for (const SliderValue& entry : InstrumentState) {
        SettingScrollBar* slider = main.slider(entry.setting);
        slider->setSetting(entry.value);
        const QSignalBlocker quiet(slider);
        slider->setSetting(0);
    }
}

bool showsInstrumentState(const frmMain& main)
{
    return std::ranges::all_of(InstrumentState, [&main](const SliderValue& entry) {
        return main.slider(entry.setting)->setting() == entry.value;
    }) && main.lblRefLock->text() == ":SYSTem:REFLock? = 1";
}

struct ReadBackFigures {
    double medianUs;
    double bytesPerReadBack;
};

ReadBackFigures timeReadBacks(MeteredBridge& line, const std::string& entry, int runs)
{
    test_support::PanelHarness panel(line);
    startUpOn(panel, entry);
    setInstrumentState(panel.main);
    const std::size_t bytesBefore = line.bytesMoved();
    std::vector<double> samples;
    for (int run = 0; run < runs; ++run) {
        const auto start = Clock::now();
        panel.main.RefreshFromInstrument();
        samples.push_back(microsecondsSince(start));
    }
    if (!showsInstrumentState(panel.main) || !panel.line.violations.empty())
        fail("the read-back over " + entry + " did not bring back what the instrument holds");
    return { median(samples), static_cast<double>(line.bytesMoved() - bytesBefore) / runs };
}

// Through the serial backend over r6140k-sim's pseudo-terminal. The simulator
// runs with --trace, as in the tests, so each exchange also carries the few
// microseconds it takes to report the line it received.
ReadBackFigures overSimulatorLine(const QStringList& options, int runs)
{
    test_support::SimProcess simulator(options);
    usblink::SerialBridge serial({ simulator.path() });
    MeteredBridge line(serial);
    return timeReadBacks(line, "R6140K " + simulator.path(), runs);
}

std::string medianOf(int runs)
{
    return "median of " + std::to_string(runs);
}

void pacedLine()
{
    constexpr int Runs = 30;
    const auto figures = overSimulatorLine({ "--pace" }, Runs);
    const double wireLimitUs = figures.bytesPerReadBack / LineBytesPerSecond * 1e6;
    const double ratio = figures.medianUs / wireLimitUs;
    report("Read-back, serial line paced at 57600 baud: " + medianOf(Runs), fixed(figures.medianUs / 1000, 2) + " ms",
        "wire limit " + fixed(wireLimitUs / 1000, 2) + " ms (" + fixed(figures.bytesPerReadBack, 0) + " bytes)");
    report("Read-back, paced line: median / wire limit", fixed(ratio, 3), "≤ " + fixed(PacedGoal, 2),
        yesNo(ratio <= PacedGoal));
}

void immediateLine()
{
    constexpr int Runs = 300;
    const double perQueryUs = overSimulatorLine({}, Runs).medianUs / QueriesPerReadBack;
    report("Read-back, pseudo-terminal answered at once: per query, " + medianOf(Runs), fixed(perQueryUs, 1) + " µs",
        "< " + fixed(QueryGoalUs, 0) + " µs", yesNo(perQueryUs < QueryGoalUs));
}

void inProcess()
{
    constexpr int Runs = 3000;
    sim::SimulatedBridge simulator;
    MeteredBridge line(simulator);
    const std::string entry = std::string(sim::SimulatedBridge::Description) + " " + sim::SimulatedBridge::SerialNumber;
    const double perQueryUs = timeReadBacks(line, entry, Runs).medianUs / QueriesPerReadBack;
    report("Read-back, in-process simulator: per query, " + medianOf(Runs), fixed(perQueryUs, 1) + " µs");
}

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessChosen();
    QApplication application(argc, argv);
    pacedLine();
    immediateLine();
    inProcess();
    return 0;
}
