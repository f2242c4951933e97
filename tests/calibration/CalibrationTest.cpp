// The calibration routine against the simulated analyzer on loopback, whose
// levels follow the simulated instrument, and the lines the instrument
// received.

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include "AnalyzerClient.h"
#include "Calibration.h"
#include "ForwardingBridge.h"
#include "SimulatedAnalyzer.h"
#include "SimulatedBridge.h"

using calibration::Outcome;

namespace {

// The simulated bridge, which can be unplugged.
struct UnpluggableBridge : usblink::ForwardingBridge {
    using ForwardingBridge::ForwardingBridge;
    bool gone = false;
    usblink::FT_STATUS FT_Write(usblink::DeviceHandle h, const void* b, uint32_t n, uint32_t* w) override
    {
        return gone ? usblink::FT_DEVICE_NOT_FOUND : ForwardingBridge::FT_Write(h, b, n, w);
    }
    usblink::FT_STATUS FT_Read(usblink::DeviceHandle h, void* b, uint32_t n, uint32_t* r) override
    {
        return gone ? usblink::FT_DEVICE_NOT_FOUND : ForwardingBridge::FT_Read(h, b, n, r);
    }
};

enum class Act { None, Abort, Unplug };

struct Case {
    const char* name;
    int startI, startQ;
    std::optional<double> targetDbm;
    int budget;
    sim::AnalyzerFault::Kind fault;
    Act act; // at the fault's reading, instead of a fault
    int at; // the reading of the fault or act
    calibration::OnAbort onAbort;
    Outcome outcome;
    bool nearFloor; // within 1 dB of the floor at the end
    bool image = false; // the image balanced too, to the best step
};

void PrintTo(const Case& c, std::ostream* out)
{
    *out << c.name;
}

using F = sim::AnalyzerFault::Kind;
using calibration::OnAbort;
const Case Cases[] = {
    { "NullsFromZeroWithinTheDefaultBudget", 0, 0, {}, 60, F::None, Act::None, 0, OnAbort::KeepBest, Outcome::BudgetSpent, true },
    { "ConvergesFromFarBelow", -20000, -25000, {}, 200, F::None, Act::None, 0, OnAbort::KeepBest, Outcome::Converged, true },
    { "ConvergesFromTheRangesEdge", 32767, 32767, {}, 200, F::None, Act::None, 0, OnAbort::KeepBest, Outcome::Converged, true },
    { "BalancesTheImageToTheBestStep", 0, 0, {}, 200, F::None, Act::None, 0, OnAbort::KeepBest, Outcome::Converged, true, true },
    { "StopsAtTheTarget", 3000, 2000, -70, 200, F::None, Act::None, 0, OnAbort::KeepBest, Outcome::TargetMet, false },
    { "StopsAtTheBudget", 3000, 2000, {}, 7, F::None, Act::None, 0, OnAbort::KeepBest, Outcome::BudgetSpent, false },
    { "AnalyzerTimeOut", 3000, 2000, {}, 200, F::Silent, Act::None, 5, OnAbort::KeepBest, Outcome::AnalyzerFailed, false },
    { "GarbageReply", 3000, 2000, {}, 200, F::Garbage, Act::None, 5, OnAbort::KeepBest, Outcome::AnalyzerFailed, false },
    { "MarkerReadsNotANumber", 3000, 2000, {}, 200, F::NotANumber, Act::None, 5, OnAbort::KeepBest, Outcome::AnalyzerFailed, false },
    { "AnalyzerHangsUp", 3000, 2000, {}, 200, F::HangUp, Act::None, 5, OnAbort::KeepBest, Outcome::AnalyzerFailed, false },
    { "LinkDownMidRun", 3000, 2000, {}, 200, F::None, Act::Unplug, 5, OnAbort::KeepBest, Outcome::InstrumentFailed, false },
    { "AbortKeepsBest", 3000, 2000, {}, 200, F::None, Act::Abort, 6, OnAbort::KeepBest, Outcome::Aborted, false },
    { "AbortKeepsStart", 3000, 2000, {}, 200, F::None, Act::Abort, 6, OnAbort::KeepStart, Outcome::Aborted, false },
};

class Calibrating : public testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = { name, nullptr };
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
};

TEST_P(Calibrating, KeepsOnlyMeasuredValuesInRange)
{
    const Case& c = GetParam();
    sim::SimulatedBridge simulated;
    UnpluggableBridge bridge(simulated);
    session::InstrumentSession session(bridge, [] { QCoreApplication::processEvents(); });
    session.listDevices();
    session.open(0);
    session.send(":MOD:IOFF " + std::to_string(c.startI));
    session.send(":MOD:QOFF " + std::to_string(c.startQ));
    sim::SimulatedAnalyzer served(simulated.instrument());
    ASSERT_TRUE(served.listen(QHostAddress::LocalHost)) << served.errorString().toStdString();
    // The fault comes with the at-th reading.
    served.setFault({ c.fault, c.at - 1 });
    const sim::Instrument& instrument = simulated.instrument();
    const auto offsetsNow = [&] { return std::pair(*instrument.value(":MOD:IOFF"), *instrument.value(":MOD:QOFF")); };
    std::vector<std::string> offsetLines; // received by the instrument from the calibration on
    simulated.instrument().setLineObserver([&](std::string_view line) {
        if (line.starts_with(":MOD:IOFF ") || line.starts_with(":MOD:QOFF "))
            offsetLines.emplace_back(line);
    });

    analyzer::AnalyzerClient client({}, std::chrono::milliseconds(300));
    ASSERT_EQ(client.open(*analyzer::Resource::parse(served.socketResource().toStdString())), "");
    calibration::Request request;
    request.targetDbm = c.targetDbm;
    request.budget = c.budget;
    if (c.image)
        request.image = calibration::Probe { 2, std::nullopt }, request.wanted = calibration::Probe { 3, std::nullopt };
    calibration::Calibration routine(session, client, request);
    routine.setOnAbort(c.onAbort);
    std::vector<std::pair<int32_t, int32_t>> measured; // the offsets at each reading
    routine.setProgressObserver([&](const calibration::Progress& p) {
        measured.push_back(offsetsNow());
        if (p.readings == c.at && c.act == Act::Abort)
            routine.abort();
        if (p.readings == c.at && c.act == Act::Unplug)
            bridge.gone = true;
    });
    const calibration::Result result = routine.run();
    EXPECT_FALSE(served.commands().continuous()); // single sweeps while it ran
    client.close();

    EXPECT_EQ(result.outcome, c.outcome) << result.problem;
    ASSERT_GE(result.settings.size(), 2u);
    const auto left = offsetsNow();
    EXPECT_EQ(left, std::pair(result.settings[0].value, result.settings[1].value));
    if (c.act != Act::Unplug) {
        // What the instrument is left with was read by the analyzer.
        EXPECT_NE(std::ranges::find(measured, left), measured.end());
        EXPECT_TRUE(result.settingsMeasured);
    }
    if (c.onAbort == OnAbort::KeepStart) {
        EXPECT_EQ(left, std::pair(c.startI, c.startQ));
    }
    for (const std::string& line : offsetLines) {
        const long value = std::stol(line.substr(10));
        EXPECT_TRUE(value >= -32768 && value <= 32767) << line;
    }
    EXPECT_LE(result.readings, c.budget + (c.image ? request.imageBudget + request.averaging : 0));
    if (c.targetDbm) {
        EXPECT_LE(result.carrierDbm, *c.targetDbm);
    }
    sim::AnalyzerModel& model = served.model();
    if (c.nearFloor) {
        EXPECT_LE(result.carrierDbm, model.floorDbm() + 1.0) << result.readings << " readings";
    }
    if (c.image) {
        // To the best difference the 1/8 dB step allows, or one step off where the two lie within the noise.
        const int32_t difference = *instrument.value(":MOD:QATT") - *instrument.value(":MOD:IATT");
        EXPECT_LE(std::abs(difference - model.bestAttenuatorDifference()), 1);
        EXPECT_LE(model.imageDbm() - model.wantedDbm(), model.bestImageDbc() + 0.5);
        ASSERT_TRUE(result.imageDbc());
        EXPECT_NEAR(*result.imageDbc(), model.imageDbm() - model.wantedDbm(), 1.0);
    }
    EXPECT_EQ(result.analyzerIdentity, served.commands().identity());
}

INSTANTIATE_TEST_SUITE_P(Runs, Calibrating, testing::ValuesIn(Cases),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

} // namespace
