#include "Calibration.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>

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

constexpr int MaxStep = 16384;
// Below this many counts a step that changes the level by less than
// FlatRatio (2 dB) is taken as being at the floor.
constexpr int SmallStep = 64;
constexpr double FlatRatio = 1.58;

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

    enum class Line { Carrier, Image, Wanted };

    // The average, in linear power, of n readings of the line at the probe.
    double measure(const Probe& probe, int n, Line line)
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
                Progress progress { stepText, readings, {}, {}, {} };
                (line == Line::Carrier ? progress.carrierDbm
                        : line == Line::Image ? progress.imageDbm
                                              : progress.wantedDbm)
                    = reading.dBm;
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
        const double mw = measure(c.request_.carrier, n, Line::Carrier);
        if (mw < bestMw) {
            bestMw = mw;
            best = values;
        }
        return mw;
    }

    bool targetMet() const { return c.request_.targetDbm && dBmOf(bestMw) <= *c.request_.targetDbm; }

    struct AxisMove {
        int moved = 0;
        bool flat = false; // the three readings within 1 dB: the step cannot tell the slope from the noise
    };

    // One axis: readings a step either side (both on one side at the
    // range's edge), a parabola through the three in linear power, a
    // reading at its vertex; the best becomes the centre.
    AxisMove searchAxis(std::size_t axis, int stepSize, int budget)
    {
        const std::array<int32_t, 2> centre = best;
        const auto at = [&](int64_t by) {
            std::array<int32_t, 2> v = centre;
            v[axis] = static_cast<int32_t>(int64_t(centre[axis]) + by);
            return v;
        };
        const instrument::SettingRange range = instrument::rangeOf(instrument::settingOf(ids[axis]).kind);
        const auto fits = [&](int64_t by) { return centre[axis] + by >= range.min && centre[axis] + by <= range.max; };
        int64_t left = -stepSize, right = stepSize;
        if (!fits(right))
            right = -2 * int64_t(stepSize);
        if (!fits(left))
            left = 2 * int64_t(stepSize);
        if (!fits(left) || !fits(right))
            return {};
        const double y0 = bestMw, yl = carrierAt(at(left), budget), yr = carrierAt(at(right), budget);
        const bool flat = std::max({ yl, y0, yr }) < FlatRatio * std::min({ yl, y0, yr });
        // The parabola through (0, y0), (left, yl), (right, yr).
        const double a = (yl * right - yr * left + y0 * (left - right)) / (double(left) * right * (left - right));
        const double b = (yl - y0) / double(left) - a * double(left);
        if (a > 0) {
            const double reach = 16.0 * stepSize;
            int64_t by = std::llround(std::clamp(-b / (2 * a), -reach, reach));
            by = std::clamp<int64_t>(centre[axis] + by, range.min, range.max) - centre[axis];
            if (by != 0 && by != left && by != right)
                carrierAt(at(by), budget);
        }
        return { std::abs(best[axis] - centre[axis]), flat };
    }

    // Far from the null, where a step changes the level less than the
    // noise, or the vertex lay beyond reach, the steps grow fourfold; where
    // the best moved a whole step out, on a slope the parabola could not
    // bend round, they double; near the null they halve. A small step that
    // stays flat is at the floor, where readings are averaged from then on.
    int nextStep(int step, const AxisMove& move)
    {
        if (move.flat && step <= SmallStep)
            nearFloor = true;
        if ((move.flat && step > SmallStep) || move.moved >= 4 * step)
            return std::min(4 * step, MaxStep);
        if (!move.flat && move.moved >= step)
            return std::min(2 * step, MaxStep);
        return std::max(1, step / 2);
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
                const AxisMove move = searchAxis(axis, steps[axis], c.request_.budget);
                steps[axis] = nextStep(steps[axis], move);
            }
        }
        return targetMet() ? Outcome::TargetMet : Outcome::Converged;
    }

    // The attenuators for a difference changed by k steps from the start:
    // split between the two, and where one would leave its range, the rest
    // on the other. Out of range only where the difference cannot be had.
    static std::array<int32_t, 2> attenuatorsFor(std::array<int32_t, 2> from, int k)
    {
        const instrument::SettingRange range = instrument::rangeOf(instrument::SettingKind::Attenuator);
        const int32_t difference = from[0] - from[1] + k;
        const int up = k > 0 ? (k + 1) / 2 : k / 2;
        int32_t i = from[0] + up;
        int32_t q = std::clamp(i - difference, range.min, range.max);
        i = std::clamp(q + difference, range.min, range.max);
        return { i, i - difference };
    }

    // The image at the attenuator difference moved by k steps from the
    // start, read once per k; nullopt where k leaves the range or the budget.
    struct ImageScan {
        Run& run;
        const Probe& probe;
        std::array<int32_t, 2> from;
        std::array<int32_t, 2>& held;
        int budget;
        std::map<int, double> mw {};

        std::optional<double> at(int k)
        {
            if (const auto known = mw.find(k); known != mw.end())
                return known->second;
            const auto trial = attenuatorsFor(from, k);
            // The image stands far above the floor: half the carrier's
            // averaging tells neighbouring steps apart, and twice as many
            // differences fit in the budget.
            const int n = std::max(1, run.c.request_.averaging / 2);
            if (!inRange(Attenuators[0], trial[0]) || !inRange(Attenuators[1], trial[1]) || run.readings + n > budget)
                return std::nullopt;
            run.stepText = "balancing the image: difference " + std::to_string(trial[0] - trial[1]) + " steps";
            run.setValues(Attenuators, held, trial);
            return mw[k] = run.measure(probe, n, Line::Image);
        }
        int best() const
        {
            return std::ranges::min_element(mw, {}, [](const auto& kv) { return kv.second; })->first;
        }
    };

    // Where a parabola through the image at k - 1, k and k + 1 has its
    // vertex, in whole steps from k, within reach; towards the lower side
    // when it opens downwards. The image in linear power is near a parabola
    // in the difference, so near the balance this lands on or next to it.
    static int imageVertexFrom(double below, double centre, double above)
    {
        constexpr int Reach = 16;
        const double a = (below + above) / 2 - centre;
        if (a <= 0)
            return below < above ? -2 : 2;
        return static_cast<int>(std::clamp<long>(std::lround((below - above) / (4 * a)), -Reach, Reach));
    }

    // Reads the neighbours of the best difference so far; while one of them
    // is lower, reads at the vertex of the parabola through the three, so a
    // balance many steps away costs a few readings, not one per step. Ends
    // when the best has both neighbours read and higher, or at the budget or
    // the range's end; the best difference read is kept.
    void balanceImage(Result& result)
    {
        std::array<int32_t, 2> held = readValues(Attenuators);
        ImageScan scan { *this, *c.request_.image, held, held, readings + c.request_.imageBudget };
        stepText = "balancing the image";
        try {
            scan.at(0);
            for (;;) {
                const int k = scan.best();
                const auto below = scan.at(k - 1), above = scan.at(k + 1);
                if (!below || !above || scan.best() == k)
                    break;
                if (!scan.at(k + imageVertexFrom(*below, scan.mw[k], *above)))
                    break;
            }
        } catch (const Stop&) {
            keepImage(scan, held, c.abortRequested_ && c.onAbort_ == OnAbort::KeepStart ? 0 : scan.best(), result);
            throw;
        }
        keepImage(scan, held, scan.best(), result);
    }

    void keepImage(ImageScan& scan, std::array<int32_t, 2>& held, int k, Result& result)
    {
        if (const auto known = scan.mw.find(k); known != scan.mw.end())
            result.imageDbm = dBmOf(known->second);
        finishAttenuators(held, attenuatorsFor(scan.from, k), result);
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
        r.bestMw = r.measure(request_.carrier, 1, Run::Line::Carrier);
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
        if (carrierDone && request_.wanted) {
            r.stepText = "reading the wanted sideband";
            result.wantedDbm = dBmOf(r.measure(*request_.wanted, request_.averaging, Run::Line::Wanted));
        }
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
