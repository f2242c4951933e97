#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "InstrumentSession.h"
#include "SetupFile.h"
#include "Settings.h"

namespace analyzer {
class AnalyzerClient;
}

// Nulls the carrier with a pair of offsets and balances the image with the
// two attenuators, reading the spectrum analyzer after every value sent.
// Every message to the instrument goes as an exchange queued in the session
// with the origin "calibration", so the operator's other settings and
// scripts go on through the queue as always.
namespace calibration {

inline constexpr const char* Origin = "calibration";

// The offsets the carrier null moves.
enum class OffsetPair { Modulator, ModulatorInput, Baseband };

// Where a power is read: a marker, placed at a frequency first when one is
// given.
struct Probe {
    int marker = 1;
    std::optional<double> hz;
};

struct Request {
    OffsetPair offsets = OffsetPair::Modulator;
    Probe carrier { 1, std::nullopt };
    std::optional<Probe> image; // no image balance without one
    std::optional<Probe> wanted; // the image also in dBc with one
    std::optional<double> targetDbm; // stop once the carrier reads this or less
    int budget = 60; // readings for the carrier null
    int imageBudget = 32; // readings for the image balance
    int initialStep = 1024; // counts of the first steps of the carrier null
    int averaging = 4; // readings averaged near the floor
    std::optional<double> loHz; // as given, for the result only
};

// Where a run is, for the window's step line and plot.
struct Progress {
    std::string step; // in words: "nulling the carrier: I offset, step 64"
    int readings = 0;
    std::optional<double> carrierDbm; // the reading just taken, when of the carrier
    std::optional<double> imageDbm; // the reading just taken, when of the image
    std::optional<double> wantedDbm; // the reading just taken, when of the wanted sideband

    // The reading just taken, whichever line it was of.
    std::optional<double> levelDbm() const { return carrierDbm ? carrierDbm : imageDbm ? imageDbm : wantedDbm; }
    const char* lineName() const { return carrierDbm ? "carrier" : imageDbm ? "image" : "wanted"; }
};

enum class Outcome {
    TargetMet,
    Converged, // the steps reached 1 count
    BudgetSpent,
    Aborted,
    AnalyzerFailed, // an error, time-out, garbage or hang-up of the analyzer
    InstrumentFailed, // the link went down, or a setting did not read back
};

// What the instrument is left with after an abort.
enum class OnAbort { KeepBest, KeepStart };

struct SettingValue {
    instrument::SettingId id;
    int32_t value;
};

struct Result {
    Outcome outcome = Outcome::Converged;
    std::string problem; // why it failed, in words; empty otherwise
    std::vector<SettingValue> settings; // the moved settings as left on the instrument
    bool settingsMeasured = true; // false only when the link went down before they could be put back
    double startCarrierDbm = 0;
    double carrierDbm = 0;
    std::optional<double> imageDbm;
    std::optional<double> wantedDbm;
    int readings = 0;
    std::chrono::duration<double> taken {};
    std::string analyzerIdentity;
    std::optional<double> loHz;

    double carrierBelowStartDb() const { return startCarrierDbm - carrierDbm; }
    std::optional<double> imageDbc() const
    {
        return imageDbm && wantedDbm ? std::optional(*imageDbm - *wantedDbm) : std::nullopt;
    }
    // Success: the target met or the steps converged (a spent budget too,
    // with the best measured values kept).
    bool succeeded() const
    {
        return outcome == Outcome::TargetMet || outcome == Outcome::Converged || outcome == Outcome::BudgetSpent;
    }
};

// The settings a run of the request moves; the panel refuses the operator's
// changes to them while it runs.
std::vector<instrument::SettingId> claimedSettings(const Request& request);

class Calibration {
public:
    using ProgressObserver = std::function<void(const Progress&)>;

    // The analyzer must be connected. The session's open instrument is used
    // through queued exchanges.
    Calibration(session::InstrumentSession& session, analyzer::AnalyzerClient& analyzer, Request request);
    ~Calibration();

    void setProgressObserver(ProgressObserver observer) { progress_ = std::move(observer); }
    void setOnAbort(OnAbort onAbort) { onAbort_ = onAbort; }

    // Runs the whole calibration; events are processed while it waits, so
    // windows stay live and abort() can be called from them. Call it from
    // the event loop itself, not from inside an exchange of the session.
    Result run();
    // Ends a run at its next step; the instrument is left as setOnAbort says.
    void abort();
    bool running() const { return running_; }
    const std::vector<instrument::SettingId>& claimed() const { return claimed_; }

private:
    struct Run;
    session::InstrumentSession& session_;
    analyzer::AnalyzerClient& analyzer_;
    Request request_;
    std::vector<instrument::SettingId> claimed_;
    ProgressObserver progress_;
    OnAbort onAbort_ = OnAbort::KeepBest;
    bool running_ = false;
    bool abortRequested_ = false;
};

// The notes a setup file of the result carries, as comment lines.
std::vector<std::string> resultComments(const Result& result);

} // namespace calibration
