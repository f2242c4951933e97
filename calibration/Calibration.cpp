#include "Calibration.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>
#include <array>
#include <cmath>

#include "AnalyzerClient.h"
#include "CommandSet.h"

namespace calibration {

namespace {

using instrument::SettingId;

std::array<SettingId, 2> offsetsOf(OffsetPair pair)
{
    switch (pair) {
    case OffsetPair::ModulatorInput:
        return { SettingId::ModulatorIInputOffset, SettingId::ModulatorQInputOffset };
    case OffsetPair::Baseband:
        return { SettingId::BasebandIOffset, SettingId::BasebandQOffset };
    default:
        return { SettingId::ModulatorIOffset, SettingId::ModulatorQOffset };
    }
}

constexpr std::array<SettingId, 2> Attenuators = { SettingId::ModulatorIAttenuator, SettingId::ModulatorQAttenuator };

double milliwattsOf(double dBm)
{
    return std::pow(10.0, dBm / 10.0);
}

double dBmOf(double milliwatts)
{
    return 10.0 * std::log10(milliwatts);
}

bool inRange(SettingId id, int32_t value)
{
    const instrument::SettingRange range = instrument::rangeOf(instrument::settingOf(id).kind);
    return value >= range.min && value <= range.max;
}

// How a run stops early: why, in words.
struct Stop {
    Outcome outcome;
    std::string problem;
};

// A queued exchange that has not run within this much is taken as a session
// that will not get to it.
constexpr std::chrono::seconds StepLimit { 30 };

} // namespace

std::vector<SettingId> claimedSettings(const Request& request)
{
    const auto offsets = offsetsOf(request.offsets);
    std::vector<SettingId> claimed(offsets.begin(), offsets.end());
    if (request.image)
        claimed.insert(claimed.end(), Attenuators.begin(), Attenuators.end());
    return claimed;
}

// One run: the values sent and measured, the best of them, the readings.
struct Calibration::Run {
    Calibration& c;
    std::array<SettingId, 2> ids;
    std::array<int32_t, 2> sent {};
    std::array<int32_t, 2> start {};
    std::array<int32_t, 2> best {};
    double bestMw = 0;
    int readings = 0;
    bool nearFloor = false;
    std::string stepText {};

    void step(const std::function<void()>& body)
    {
        bool ran = false;
        c.session_.enqueue([&] { body(); ran = true; }, Origin);
        const QDeadlineTimer limit(StepLimit);
        while (!ran && !limit.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        if (!ran)
            throw Stop { Outcome::InstrumentFailed, "the session did not run the calibration's exchange" };
        if (c.session_.linkDown())
            throw Stop { Outcome::InstrumentFailed, c.session_.linkProblem() };
    }

    std::array<int32_t, 2> readValues(const std::array<SettingId, 2>& which)
    {
        std::array<int32_t, 2> values {};
        std::string problem;
        step([&] {
            for (std::size_t k = 0; k < 2 && problem.empty(); ++k) {
                const auto& setting = instrument::settingOf(which[k]);
                const usblink::Reply reply = c.session_.ask(setting.query);
                const auto value = instrument::commands::toInteger(reply.text);
                if (value && inRange(which[k], *value))
                    values[k] = *value;
                else
                    problem = std::string(setting.query) + " = " + reply.text;
            }
        });
        if (!problem.empty())
            throw Stop { Outcome::InstrumentFailed, problem };
        return values;
    }

    void setValues(const std::array<SettingId, 2>& which, std::array<int32_t, 2>& held, std::array<int32_t, 2> values)
    {
        step([&] {
            for (std::size_t k = 0; k < 2; ++k)
                if (values[k] != held[k] && c.session_.send(instrument::settingOf(which[k]).prefix + std::to_string(values[k])))
                    held[k] = values[k];
        });
    }

    void checkAbort() const
    {
        if (c.abortRequested_)
            throw Stop { Outcome::Aborted, "aborted" };
    }

    // The average, in linear power, of n readings at the probe.
    double measure(const Probe& probe, int n, bool isCarrier)
    {
        double sum = 0;
        for (int k = 0; k < n; ++k) {
            checkAbort();
            const analyzer::Reading reading = c.analyzer_.read(probe.marker, probe.hz);
            checkAbort();
            if (!reading.problem.empty())
                throw Stop { Outcome::AnalyzerFailed, reading.problem };
            ++readings;
            sum += milliwattsOf(reading.dBm);
            if (c.progress_) {
                Progress progress { stepText, readings, {}, {} };
                (isCarrier ? progress.carrierDbm : progress.imageDbm) = reading.dBm;
                c.progress_(progress);
            }
        }
        return sum / n;
    }

    // Sends the pair and reads the carrier; the best so far follows.
    double carrierAt(std::array<int32_t, 2> values, int budget)
    {
        const int n = nearFloor ? c.request_.averaging : 1;
        if (readings + n > budget)
            throw Stop { Outcome::BudgetSpent, {} };
        setValues(ids, sent, values);
        const double mw = measure(c.request_.carrier, n, true);
        if (mw < bestMw) {
            bestMw = mw;
            best = values;
        }
        return mw;
    }

    bool targetMet() const { return c.request_.targetDbm && dBmOf(bestMw) <= *c.request_.targetDbm; }

    // One axis: readings a step either side, a parabola through the three
    // in linear power, a reading at its vertex; the best becomes the centre.
    int searchAxis(std::size_t axis, int stepSize, int budget)
    {
        const std::array<int32_t, 2> centre = best;
        const double p0 = bestMw;
        const auto shifted = [&](int32_t by) {
            std::array<int32_t, 2> v = centre;
            v[axis] = std::clamp<int64_t>(int64_t(centre[axis]) + by, -32768, 32767);
            return v;
        };
        const double pm = carrierAt(shifted(-stepSize), budget);
        const double pp = carrierAt(shifted(stepSize), budget);
        const double curvature = pm - 2 * p0 + pp;
        nearFloor = nearFloor || std::max({ pm, p0, pp }) < 2 * std::min({ pm, p0, pp });
        if (curvature > 0) {
            const double vertex = stepSize * (pm - pp) / (2 * curvature);
            const auto by = static_cast<int32_t>(std::lround(std::clamp(vertex, -4.0 * stepSize, 4.0 * stepSize)));
            if (by != 0 && std::abs(by) != stepSize)
                carrierAt(shifted(by), budget);
        }
        return std::abs(best[axis] - centre[axis]);
    }

    Outcome nullCarrier()
    {
        std::array<int, 2> steps { c.request_.initialStep, c.request_.initialStep };
        for (bool lastPass = false; !lastPass;) {
            lastPass = steps[0] == 1 && steps[1] == 1;
            for (std::size_t axis = 0; axis < 2; ++axis) {
                if (targetMet())
                    return Outcome::TargetMet;
                stepText = std::string("nulling the carrier: ") + (axis == 0 ? "I" : "Q") + " offset, step "
                    + std::to_string(steps[axis]);
                const int moved = searchAxis(axis, steps[axis], c.request_.budget);
                steps[axis] = std::max(1, std::min(steps[axis] / 2, 2 * moved));
            }
        }
        return targetMet() ? Outcome::TargetMet : Outcome::Converged;
    }

    // The attenuators for a difference changed by k steps from the start,
    // split between the two.
    static std::array<int32_t, 2> attenuatorsFor(std::array<int32_t, 2> from, int k)
    {
        const int up = k > 0 ? (k + 1) / 2 : k / 2;
        return { from[0] + up, from[1] - (k - up) };
    }

    void balanceImage(Result& result)
    {
        const Probe& probe = *c.request_.image;
        std::array<int32_t, 2> held = readValues(Attenuators);
        const std::array<int32_t, 2> from = held;
        std::array<int32_t, 2> bestAtt = held;
        stepText = "balancing the image";
        const int budget = readings + c.request_.imageBudget;
        const int n = c.request_.averaging;
        double bestImage = measure(probe, n, false);
        try {
            for (int direction : { 1, -1 }) {
                bool improved = false;
                for (int k = direction;; k += direction) {
                    const auto trial = attenuatorsFor(from, k);
                    if (!inRange(Attenuators[0], trial[0]) || !inRange(Attenuators[1], trial[1]) || readings + n > budget)
                        break;
                    stepText = "balancing the image: difference " + std::to_string(trial[0] - trial[1]) + " steps";
                    setValues(Attenuators, held, trial);
                    const double mw = measure(probe, n, false);
                    if (mw >= bestImage)
                        break;
                    bestImage = mw;
                    bestAtt = trial;
                    improved = true;
                }
                if (improved)
                    break;
            }
        } catch (const Stop&) {
            result.imageDbm = dBmOf(bestImage);
            finishAttenuators(held, c.abortRequested_ && c.onAbort_ == OnAbort::KeepStart ? from : bestAtt, result);
            throw;
        }
        result.imageDbm = dBmOf(bestImage);
        finishAttenuators(held, bestAtt, result);
    }

    void finishAttenuators(std::array<int32_t, 2>& held, std::array<int32_t, 2> keep, Result& result)
    {
        try {
            setValues(Attenuators, held, keep);
        } catch (const Stop&) {
            result.settingsMeasured = false;
        }
        for (std::size_t k = 0; k < 2; ++k)
            result.settings.push_back({ Attenuators[k], held[k] });
    }
};

Calibration::Calibration(session::InstrumentSession& session, analyzer::AnalyzerClient& analyzer, Request request)
    : session_(session)
    , analyzer_(analyzer)
    , request_(std::move(request))
    , claimed_(claimedSettings(request_))
{
}

Calibration::~Calibration() = default;

void Calibration::abort()
{
    abortRequested_ = true;
    analyzer_.abort();
}

Result Calibration::run()
{
    const auto began = std::chrono::steady_clock::now();
    running_ = true;
    abortRequested_ = false;
    Run r { .c = *this, .ids = offsetsOf(request_.offsets) };
    Result result;
    result.analyzerIdentity = analyzer_.identity();
    result.loHz = request_.loHz;
    bool started = false;
    try {
        r.start = r.sent = r.best = r.readValues(r.ids);
        started = true;
        r.stepText = "reading the carrier at the start";
        r.bestMw = r.measure(request_.carrier, 1, true);
        result.startCarrierDbm = dBmOf(r.bestMw);
        result.outcome = r.nullCarrier();
    } catch (const Stop& stop) {
        result.outcome = stop.outcome;
        result.problem = stop.problem;
    }
    if (started) {
        const bool keepStart = result.outcome == Outcome::Aborted && onAbort_ == OnAbort::KeepStart;
        try {
            r.setValues(r.ids, r.sent, keepStart ? r.start : r.best);
        } catch (const Stop&) {
            result.settingsMeasured = false;
        }
        for (std::size_t k = 0; k < 2; ++k)
            result.settings.push_back({ r.ids[k], r.sent[k] });
        if (r.bestMw > 0)
            result.carrierDbm = dBmOf(r.bestMw);
    }
    const bool carrierDone = result.outcome == Outcome::TargetMet || result.outcome == Outcome::Converged
        || result.outcome == Outcome::BudgetSpent;
    try {
        if (carrierDone && request_.image)
            r.balanceImage(result);
        if (carrierDone && request_.wanted)
            result.wantedDbm = dBmOf(r.measure(*request_.wanted, request_.averaging, false));
    } catch (const Stop& stop) {
        result.outcome = stop.outcome;
        result.problem = stop.problem;
    }
    result.readings = r.readings;
    result.taken = std::chrono::steady_clock::now() - began;
    running_ = false;
    return result;
}

std::vector<std::string> resultComments(const Result& result)
{
    const auto number = [](double v) { return QString::number(v, 'f', 2).toStdString(); };
    std::vector<std::string> lines {
        "calibration: carrier " + number(result.carrierDbm) + " dBm, " + number(result.carrierBelowStartDb())
            + " dB below the start",
        "calibration: " + std::to_string(result.readings) + " readings in " + number(result.taken.count()) + " s",
        "calibration: analyzer " + result.analyzerIdentity,
    };
    if (result.imageDbm)
        lines.push_back("calibration: image " + number(*result.imageDbm) + " dBm"
            + (result.imageDbc() ? ", " + number(*result.imageDbc()) + " dBc" : ""));
    if (result.loHz)
        lines.push_back("calibration: LO " + QString::number(*result.loHz, 'f', 0).toStdString() + " Hz");
    return lines;
}

} // namespace calibration
