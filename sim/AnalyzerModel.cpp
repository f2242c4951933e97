#include "AnalyzerModel.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sim {

using instrument::SettingId;

namespace {

double milliwattsOf(double dbm)
{
    return std::pow(10.0, dbm / 10.0);
}

double dbmOf(double milliwatts)
{
    // Nothing at all reads far below any floor rather than as minus infinity.
    return 10.0 * std::log10(std::max(milliwatts, 1e-30));
}

double amplitudeOf(double decibelsLoss)
{
    return std::pow(10.0, -decibelsLoss / 20.0);
}

int32_t clampTo(SettingId id, double value)
{
    const instrument::SettingRange range = instrument::rangeOf(instrument::settingOf(id).kind);
    return static_cast<int32_t>(std::clamp<double>(std::round(value), range.min, range.max));
}

struct StageSettings {
    SettingId i;
    SettingId q;
};

StageSettings settingsOf(OffsetStage stage)
{
    switch (stage) {
    case OffsetStage::Baseband:
        return { SettingId::BasebandIOffset, SettingId::BasebandQOffset };
    case OffsetStage::ModulatorInput:
        return { SettingId::ModulatorIInputOffset, SettingId::ModulatorQInputOffset };
    case OffsetStage::Modulator:
        break;
    }
    return { SettingId::ModulatorIOffset, SettingId::ModulatorQOffset };
}

constexpr OffsetStage AllStages[] = { OffsetStage::Baseband, OffsetStage::ModulatorInput, OffsetStage::Modulator };

} // namespace

// FNV-1a over the serial number and the use, then SplitMix64's finaliser,
// so that neighbouring serial numbers give unrelated fractions.
double serialFraction(std::string_view serialNumber, uint64_t use)
{
    uint64_t hash = 0xcbf29ce484222325u ^ use;
    for (const char c : serialNumber)
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3u;
    hash += 0x9e3779b97f4a7c15u;
    hash = (hash ^ (hash >> 30)) * 0xbf58476d1ce4e5b9u;
    hash = (hash ^ (hash >> 27)) * 0x94d049bb133111ebu;
    hash ^= hash >> 31;
    return static_cast<double>(hash >> 11) / static_cast<double>(uint64_t { 1 } << 53);
}

AnalyzerModel::AnalyzerModel(const Instrument& instrument, AnalyzerOptions options)
    : instrument_(instrument)
    , options_(options)
    , noise_(options.noiseSeed)
{
    const std::string& serial = instrument.serialNumber();
    const auto residualDc = [&serial](uint64_t use) {
        const double magnitude = ResidualDcMin + (ResidualDcMax - ResidualDcMin) * serialFraction(serial, use);
        return serialFraction(serial, use + 100) < 0.5 ? -magnitude : magnitude;
    };
    residualI_ = residualDc(1);
    residualQ_ = residualDc(2);
    // Two to six steps and a part of one that rounds down, never a tie: the
    // best step is the whole part.
    const double steps = 2 + std::floor(5 * serialFraction(serial, 3)) + 0.28 + 0.16 * serialFraction(serial, 4);
    residualImbalanceDb_ = (serialFraction(serial, 5) < 0.5 ? -steps : steps) * instrument::DecibelsPerStep;
}

int32_t AnalyzerModel::setting(SettingId id) const
{
    return instrument_.value(instrument::settingOf(id).mnemonic).value_or(0);
}

// What one count of the stage's I (or Q) setting adds to the mixer DC of
// the path it reaches.
double AnalyzerModel::stageGain(OffsetStage stage, bool qPath) const
{
    const double attenuation
        = amplitudeOf(instrument::decibelsOf(setting(qPath ? SettingId::ModulatorQAttenuator : SettingId::ModulatorIAttenuator)));
    switch (stage) {
    case OffsetStage::Baseband:
        return BasebandGain * attenuation;
    case OffsetStage::ModulatorInput:
        return ModulatorInputGain * attenuation;
    case OffsetStage::Modulator:
        break;
    }
    return ModulatorGain;
}

// The DC at the mixer with one stage's pair replaced. Baseband swap sends
// the baseband I offset down the Q path and the Q offset down the I path.
AnalyzerModel::MixerDc AnalyzerModel::mixerDc(OffsetStage replaced, OffsetPair pair) const
{
    MixerDc dc { residualI_, residualQ_ };
    for (const OffsetStage stage : AllStages) {
        const StageSettings ids = settingsOf(stage);
        OffsetPair values = stage == replaced ? pair : OffsetPair { setting(ids.i), setting(ids.q) };
        if (stage == OffsetStage::Baseband && setting(SettingId::BasebandSwap) == 1)
            std::swap(values.i, values.q);
        dc.i += stageGain(stage, false) * values.i;
        dc.q += stageGain(stage, true) * values.q;
    }
    return dc;
}

AnalyzerModel::MixerDc AnalyzerModel::mixerDc() const
{
    const StageSettings ids = settingsOf(OffsetStage::Modulator);
    return mixerDc(OffsetStage::Modulator, { setting(ids.i), setting(ids.q) });
}

double AnalyzerModel::carrierMw(MixerDc dc)
{
    const double coupledQ = dc.q + QuadratureCoupling * dc.i;
    return (dc.i * dc.i + coupledQ * coupledQ) / (CountsAt0Dbm * CountsAt0Dbm);
}

double AnalyzerModel::pathAmplitudeI(int32_t steps) const
{
    return amplitudeOf(instrument::decibelsOf(steps) + residualImbalanceDb_);
}

// sign +1 gives the wanted sideband, -1 the image.
double AnalyzerModel::sidebandMw(AttenuatorPair attenuators, double sign) const
{
    const double phi = PhaseErrorDegrees * std::numbers::pi / 180.0;
    const double aI = pathAmplitudeI(attenuators.i);
    const double aQ = amplitudeOf(instrument::decibelsOf(attenuators.q));
    const double re = aI + sign * aQ * std::cos(phi);
    const double im = sign * aQ * std::sin(phi);
    return milliwattsOf(WantedAt0DbDbm) * (re * re + im * im) / 4.0;
}

double AnalyzerModel::carrierDbm() const
{
    return dbmOf(carrierMw(mixerDc()));
}

double AnalyzerModel::imageDbmAt(AttenuatorPair attenuators) const
{
    return dbmOf(sidebandMw(attenuators, -1));
}

double AnalyzerModel::wantedDbmAt(AttenuatorPair attenuators) const
{
    return dbmOf(sidebandMw(attenuators, +1));
}

double AnalyzerModel::wantedDbm() const
{
    return wantedDbmAt({ setting(SettingId::ModulatorIAttenuator), setting(SettingId::ModulatorQAttenuator) });
}

double AnalyzerModel::imageDbm() const
{
    return imageDbmAt({ setting(SettingId::ModulatorIAttenuator), setting(SettingId::ModulatorQAttenuator) });
}

// Each line through a Gaussian filter whose 3 dB width is the resolution
// bandwidth.
double AnalyzerModel::lineMw(double hz) const
{
    const auto response = [this, hz](double lineHz) {
        const double x = 2.0 * (hz - lineHz) / options_.resolutionBandwidthHz;
        return std::pow(0.5, x * x);
    };
    return response(carrierHz()) * milliwattsOf(carrierDbm()) + response(wantedHz()) * milliwattsOf(wantedDbm())
        + response(imageHz()) * milliwattsOf(imageDbm());
}

double AnalyzerModel::levelDbm(double hz) const
{
    return dbmOf(lineMw(hz) + milliwattsOf(options_.floorDbm));
}

double AnalyzerModel::readDbm(double hz)
{
    std::normal_distribution<double> noise(0.0, options_.noiseDb);
    return levelDbm(hz) + (options_.noiseDb > 0 ? noise(noise_) : 0.0);
}

// The mixer DC is linear in the pair: solve rest + x·ei + y·eq = 0, then
// take the best of the whole counts around the solution.
OffsetPair AnalyzerModel::bestOffsets(OffsetStage stage) const
{
    const MixerDc rest = mixerDc(stage, { 0, 0 });
    const MixerDc withI = mixerDc(stage, { 1, 0 });
    const MixerDc withQ = mixerDc(stage, { 0, 1 });
    const double a = withI.i - rest.i, b = withQ.i - rest.i;
    const double c = withI.q - rest.q, d = withQ.q - rest.q;
    const double determinant = a * d - b * c;
    const double x = (-rest.i * d + rest.q * b) / determinant;
    const double y = (-rest.q * a + rest.i * c) / determinant;
    const StageSettings ids = settingsOf(stage);
    OffsetPair best { clampTo(ids.i, x), clampTo(ids.q, y) };
    double bestMw = carrierMw(mixerDc(stage, best));
    const OffsetPair centre = best;
    for (int di = -1; di <= 1; ++di)
        for (int dq = -1; dq <= 1; ++dq) {
            const OffsetPair candidate { clampTo(ids.i, centre.i + di), clampTo(ids.q, centre.q + dq) };
            if (const double mw = carrierMw(mixerDc(stage, candidate)); mw < bestMw) {
                best = candidate;
                bestMw = mw;
            }
        }
    return best;
}

// The image is least where the two paths' amplitudes match: Q attenuated by
// the residual's whole steps more than I.
int32_t AnalyzerModel::bestAttenuatorDifference() const
{
    return static_cast<int32_t>(std::round(residualImbalanceDb_ / instrument::DecibelsPerStep));
}

AttenuatorPair AnalyzerModel::bestAttenuators() const
{
    const int32_t difference = bestAttenuatorDifference();
    const AttenuatorPair now { setting(SettingId::ModulatorIAttenuator), setting(SettingId::ModulatorQAttenuator) };
    const instrument::SettingRange range = instrument::rangeOf(instrument::SettingKind::Attenuator);
    if (now.i + difference >= range.min && now.i + difference <= range.max)
        return { now.i, now.i + difference };
    return { std::clamp(now.q - difference, range.min, range.max), now.q };
}

double AnalyzerModel::bestImageDbm() const
{
    return imageDbmAt(bestAttenuators());
}

double AnalyzerModel::bestImageDbc() const
{
    const AttenuatorPair best = bestAttenuators();
    return imageDbmAt(best) - wantedDbmAt(best);
}

} // namespace sim
