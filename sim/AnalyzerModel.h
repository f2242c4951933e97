#pragma once

#include <cstdint>
#include <random>
#include <string_view>

#include "Instrument.h"

namespace sim {

// What the simulated analyzer looks at and how it reads.
struct AnalyzerOptions {
    double loHz = 1e9; // the carrier
    double toneHz = 1e6; // the baseband tone: wanted sideband at LO + tone, image at LO - tone
    double floorDbm = -90; // displayed noise floor
    double noiseDb = 0.5; // standard deviation of a reading, in dB
    double resolutionBandwidthHz = 10e3;
    uint64_t noiseSeed = 1;
};

// The three offset stages of the upconverter, in signal order.
enum class OffsetStage { Baseband, ModulatorInput, Modulator };

struct OffsetPair {
    int32_t i = 0;
    int32_t q = 0;
    bool operator==(const OffsetPair&) const = default;
};

struct AttenuatorPair {
    int32_t i = 0;
    int32_t q = 0;
    bool operator==(const AttenuatorPair&) const = default;
};

// The spectrum an analyzer sees at the upconverter's output, computed from
// the simulated instrument's present settings. No I/O: the analyzer's
// servers ask it for readings.
//
// Carrier (at LO): the DC at the mixer's I and Q inputs leaks the LO. Each
// offset stage adds its setting times its gain; the baseband and modulator
// input offsets pass the attenuator of their path on the way (so balancing
// the image moves their null), the modulator offsets sit behind it. A
// residual DC of the unit's own, drawn from its serial number, comes on top,
// so the null is neither at 0 nor the same for two units. The Q path picks
// up a little of the I path (the mixers are not quite orthogonal), which
// makes the bowl elliptical and tilted. Carrier power in mW is
// (I² + Q'²) / CountsAt0Dbm², with Q' = Q + QuadratureCoupling · I.
//
// Wanted (LO + tone) and image (LO − tone): a tone of WantedAt0DbDbm drives
// both paths; path I has amplitude aI = 10^−(IATT/8 dB + residual)/20, path Q
// aQ = 10^−(QATT/8 dB)/20, and Q lags by PhaseErrorDegrees. Wanted power is
// P0·|aI + aQ·e^jφ|²/4, image power P0·|aI − aQ·e^jφ|²/4, so
// image/wanted = (1 + g² − 2g cos φ) / (1 + g² + 2g cos φ) with g = aQ/aI.
// The residual imbalance, drawn from the serial number too, is never a
// whole number of 1/8 dB steps.
//
// A reading at a frequency adds every line within the resolution bandwidth
// (a Gaussian filter) to the noise floor in linear power, then adds Gaussian
// noise in dB from a seeded generator.
class AnalyzerModel {
public:
    static constexpr double BasebandGain = 0.25; // mixer counts per baseband offset count, before the attenuator
    static constexpr double ModulatorInputGain = 0.5; // the same for the modulator input offsets
    static constexpr double ModulatorGain = 1.0; // the modulator offsets act on the mixer directly
    static constexpr double CountsAt0Dbm = 300000; // mixer DC that would leak 0 dBm of carrier
    static constexpr double QuadratureCoupling = 0.08;
    static constexpr double WantedAt0DbDbm = -10; // wanted sideband with both attenuators at 0 and no imbalance
    static constexpr double PhaseErrorDegrees = 1.5;
    // The residual DC of each path lies between these magnitudes, so the
    // carrier starts 40 dB or more above the default floor with every
    // setting at 0.
    static constexpr double ResidualDcMin = 1500;
    static constexpr double ResidualDcMax = 4500;

    AnalyzerModel(const Instrument& instrument, AnalyzerOptions options = {});

    const AnalyzerOptions& options() const { return options_; }
    const std::string& instrumentSerialNumber() const { return instrument_.serialNumber(); }
    double carrierHz() const { return options_.loHz; }
    double wantedHz() const { return options_.loHz + options_.toneHz; }
    double imageHz() const { return options_.loHz - options_.toneHz; }

    // A reading at the frequency, with noise.
    double readDbm(double hz);
    // What a noiseless reading at the frequency shows, floor included.
    double levelDbm(double hz) const;

    // Each line alone, without floor or noise.
    double carrierDbm() const;
    double wantedDbm() const;
    double imageDbm() const;
    double floorDbm() const { return options_.floorDbm; }

    // The unit's hidden residuals, for tests and the bench.
    double residualIDc() const { return residualI_; }
    double residualQDc() const { return residualQ_; }
    double residualImbalanceDb() const { return residualImbalanceDb_; }

    // The stage's whole-count pair that leaks the least carrier with the
    // other stages as they are now, within the settings' range.
    OffsetPair bestOffsets(OffsetStage stage) const;
    // QATT − IATT in 1/8 dB steps that leaves the least image.
    int32_t bestAttenuatorDifference() const;
    // The best difference reached from the present attenuators by moving Q
    // only, or I only where Q would leave its range.
    AttenuatorPair bestAttenuators() const;
    // Image at bestAttenuators(), and relative to the wanted sideband there.
    double bestImageDbm() const;
    double bestImageDbc() const;

    // Image and wanted power at the given attenuators, everything else as it is.
    double imageDbmAt(AttenuatorPair attenuators) const;
    double wantedDbmAt(AttenuatorPair attenuators) const;

private:
    struct MixerDc {
        double i;
        double q;
    };

    int32_t setting(instrument::SettingId id) const;
    MixerDc mixerDc(OffsetStage replaced, OffsetPair pair) const;
    MixerDc mixerDc() const;
    double stageGain(OffsetStage stage, bool qPath) const;
    static double carrierMw(MixerDc dc);
    double pathAmplitudeI(int32_t steps) const;
    double sidebandMw(AttenuatorPair attenuators, double sign) const;
    double lineMw(double hz) const;

    const Instrument& instrument_;
    AnalyzerOptions options_;
    double residualI_;
    double residualQ_;
    double residualImbalanceDb_;
    std::mt19937_64 noise_;
};

// The fraction in [0, 1) that the serial number gives for the given use, the
// same on every machine.
double serialFraction(std::string_view serialNumber, uint64_t use);

} // namespace sim
