#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "AnalyzerModel.h"
#include "Instrument.h"

namespace {

using sim::AnalyzerModel;
using sim::OffsetStage;

const char* offsetHeader(OffsetStage stage, bool q)
{
    switch (stage) {
    case OffsetStage::Baseband:
        return q ? ":BAS:QOFF" : ":BAS:IOFF";
    case OffsetStage::ModulatorInput:
        return q ? ":MOD:QINP" : ":MOD:IINP";
    case OffsetStage::Modulator:
        break;
    }
    return q ? ":MOD:QOFF" : ":MOD:IOFF";
}

void set(sim::Instrument& instrument, const std::string& header, int value)
{
    instrument.handleLine(header + ' ' + std::to_string(value));
    ASSERT_EQ(instrument.value(header), value) << header;
}

struct StageCase {
    OffsetStage stage;
    int iAtt;
    int qAtt;
    int swap;
};

class CarrierNull : public testing::TestWithParam<StageCase> { };

// Halfway to the best pair the carrier is lower than at the start, and at
// the best pair it is down at the floor, which no neighbouring pair beats.
TEST_P(CarrierNull, FallsTowardsTheHiddenBestAndReachesTheFloor)
{
    const StageCase c = GetParam();
    sim::Instrument instrument("SIM00042");
    set(instrument, ":MOD:IATT", c.iAtt);
    set(instrument, ":MOD:QATT", c.qAtt);
    set(instrument, ":BAS:SWAP", c.swap);
    AnalyzerModel model(instrument, { .noiseDb = 0 });
    const double start = model.levelDbm(model.carrierHz());
    EXPECT_GE(start, model.floorDbm() + 40) << "a start 40 dB above the floor from the settings at 0";
    const sim::OffsetPair best = model.bestOffsets(c.stage);
    EXPECT_NE(best, (sim::OffsetPair {})) << "the null is not at 0";
    set(instrument, offsetHeader(c.stage, false), best.i / 2);
    set(instrument, offsetHeader(c.stage, true), best.q / 2);
    const double halfway = model.levelDbm(model.carrierHz());
    EXPECT_LT(halfway, start - 3);
    set(instrument, offsetHeader(c.stage, false), best.i);
    set(instrument, offsetHeader(c.stage, true), best.q);
    const double atBest = model.carrierDbm();
    EXPECT_LT(atBest, model.floorDbm() - 10);
    EXPECT_NEAR(model.levelDbm(model.carrierHz()), model.floorDbm(), 0.5);
    for (const auto& [di, dq] : { std::pair { 1, 0 }, { -1, 0 }, { 0, 1 }, { 0, -1 } }) {
        set(instrument, offsetHeader(c.stage, false), best.i + di);
        set(instrument, offsetHeader(c.stage, true), best.q + dq);
        EXPECT_GE(model.carrierDbm(), atBest) << di << ',' << dq;
    }
}

INSTANTIATE_TEST_SUITE_P(Stages, CarrierNull,
    testing::Values(StageCase { OffsetStage::Modulator, 0, 0, 0 }, StageCase { OffsetStage::ModulatorInput, 0, 0, 0 },
        StageCase { OffsetStage::Baseband, 0, 0, 0 }, StageCase { OffsetStage::Baseband, 40, 20, 1 },
        StageCase { OffsetStage::ModulatorInput, 16, 64, 0 }));

// The image is least at the hidden attenuator difference, rises a step
// either side, and is capped by the phase error (about 37 dBc at 1.5°).
TEST(ImageBalance, LeastAtTheBestDifferenceWithinWhatThePhaseErrorAllows)
{
    for (const char* serial : { "SIM00001", "SIM00002", "SIM00003", "A1B2C3" }) {
        sim::Instrument instrument(serial);
        AnalyzerModel model(instrument, { .noiseDb = 0 });
        const int32_t d = model.bestAttenuatorDifference();
        EXPECT_NE(std::fmod(model.residualImbalanceDb() / 0.125, 1.0), 0.0) << serial;
        const int32_t i = 40;
        const double best = model.imageDbmAt({ i, i + d }) - model.wantedDbmAt({ i, i + d });
        EXPECT_GT(model.imageDbmAt({ i, i + d + 1 }) - model.wantedDbmAt({ i, i + d + 1 }), best) << serial;
        EXPECT_GT(model.imageDbmAt({ i, i + d - 1 }) - model.wantedDbmAt({ i, i + d - 1 }), best) << serial;
        EXPECT_NEAR(best, -37.6, 1.0) << serial;
        EXPECT_LT(model.bestImageDbc(), model.imageDbm() - model.wantedDbm() - 1) << "better than at 0,0: " << serial;
    }
}

// The hidden residuals follow the serial number alone; the floor and the
// reading noise are the options'.
TEST(AnalyzerModelSeeds, ResidualsPerSerialAndNoiseFromTheSeed)
{
    sim::Instrument a("SIM00001"), sameAsA("SIM00001"), b("SIM00002");
    const AnalyzerModel ma(a, { .floorDbm = -80, .noiseDb = 0.5, .noiseSeed = 7 });
    AnalyzerModel ma2(sameAsA, { .floorDbm = -80, .noiseDb = 0.5, .noiseSeed = 7 });
    AnalyzerModel ma3(sameAsA, { .floorDbm = -80, .noiseDb = 0.5, .noiseSeed = 8 });
    const AnalyzerModel mb(b);
    EXPECT_EQ(ma.residualIDc(), ma2.residualIDc());
    EXPECT_NE(ma.residualIDc(), mb.residualIDc());
    EXPECT_NE(ma.bestOffsets(OffsetStage::Modulator), mb.bestOffsets(OffsetStage::Modulator));
    AnalyzerModel readsA(a, { .floorDbm = -80, .noiseDb = 0.5, .noiseSeed = 7 });
    const double offLines = ma.carrierHz() + 500e3;
    EXPECT_DOUBLE_EQ(readsA.readDbm(offLines), ma2.readDbm(offLines));
    EXPECT_NE(readsA.readDbm(offLines), ma3.readDbm(offLines));
    double sum = 0, squares = 0;
    constexpr int N = 2000;
    for (int n = 0; n < N; ++n) {
        const double r = readsA.readDbm(offLines);
        sum += r;
        squares += r * r;
    }
    EXPECT_NEAR(sum / N, -80, 0.05);
    EXPECT_NEAR(std::sqrt(squares / N - (sum / N) * (sum / N)), 0.5, 0.05);
}

} // namespace
