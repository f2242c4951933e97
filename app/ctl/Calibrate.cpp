#include "Calibrate.h"

#include <QFile>
#include <QString>
#include <cstdio>
#include <sstream>

#include "AnalyzerClient.h"
#include "Calibration.h"
#include "CalibrationTableFile.h"
#include "CommandSet.h"
#include "Commands.h"
#include "SetupTransfer.h"
#include "Tell.h"

namespace ctl {

namespace {

calibration::Probe probeOf(std::optional<int> marker, std::optional<double> hz, int defaultMarker)
{
    return { marker.value_or(defaultMarker), hz };
}

calibration::Request requestOf(const CalibrateOptions& o)
{
    calibration::Request request;
    request.offsets = o.offsets == "input" ? calibration::OffsetPair::ModulatorInput
        : o.offsets == "baseband"          ? calibration::OffsetPair::Baseband
                                           : calibration::OffsetPair::Modulator;
    request.carrier = probeOf(o.carrierMarker, o.carrierHz, 1);
    if (o.imageMarker || o.imageHz)
        request.image = probeOf(o.imageMarker, o.imageHz, 2);
    if (o.wantedMarker || o.wantedHz)
        request.wanted = probeOf(o.wantedMarker, o.wantedHz, 3);
    request.targetDbm = o.targetDbm;
    request.budget = o.budget;
    return request;
}

const char* outcomeText(calibration::Outcome outcome)
{
    switch (outcome) {
    case calibration::Outcome::TargetMet:
        return "target met";
    case calibration::Outcome::Converged:
        return "converged";
    case calibration::Outcome::BudgetSpent:
        return "budget spent";
    case calibration::Outcome::Aborted:
        return "aborted";
    case calibration::Outcome::AnalyzerFailed:
        return "analyzer failed";
    case calibration::Outcome::InstrumentFailed:
        return "instrument failed";
    }
    return "";
}

std::string jsonText(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            quoted += escaped;
        } else
            quoted += c;
    }
    return quoted + '"';
}

std::string numberText(std::optional<double> value)
{
    return value ? QString::number(*value, 'f', 3).toStdString() : "null";
}

void printJson(const calibration::Result& r)
{
    std::ostringstream out;
    out << "{\"outcome\": " << jsonText(outcomeText(r.outcome)) << ", \"problem\": " << jsonText(r.problem)
        << ", \"settings\": {";
    const char* separator = "";
    for (const calibration::SettingValue& s : r.settings) {
        out << separator << jsonText(instrument::settingOf(s.id).mnemonic) << ": " << s.value;
        separator = ", ";
    }
    out << "}, \"settings_measured\": " << (r.settingsMeasured ? "true" : "false")
        << ", \"start_carrier_dBm\": " << numberText(r.startCarrierDbm) << ", \"carrier_dBm\": " << numberText(r.carrierDbm)
        << ", \"carrier_below_start_dB\": " << numberText(r.carrierBelowStartDb())
        << ", \"image_dBm\": " << numberText(r.imageDbm) << ", \"image_dBc\": " << numberText(r.imageDbc())
        << ", \"readings\": " << r.readings << ", \"time_s\": " << numberText(r.taken.count())
        << ", \"analyzer\": " << jsonText(r.analyzerIdentity) << ", \"lo_Hz\": " << numberText(r.loHz) << "}\n";
    std::fputs(out.str().c_str(), stdout);
}

void printLines(const calibration::Result& r)
{
    std::printf("outcome %s\n", outcomeText(r.outcome));
    for (const calibration::SettingValue& s : r.settings)
        std::printf("%s %d\n", instrument::settingOf(s.id).mnemonic, s.value);
    for (const std::string& line : calibration::resultComments(r))
        std::printf("%s\n", line.c_str());
}

// The result kept as --save and --table ask: the setup file of the
// instrument as it now stands, the result in its comment lines. Empty, or
// why it was not kept.
std::string keepResult(Connection& connection, const CtlOptions& options, const calibration::Result& result)
{
    const std::string& save = options.calibrate.save;
    if (save.empty() && options.table.empty())
        return {};
    instrument::SetupNotes notes = session::notesOfNow(connection.identity(), connection.port());
    notes.remarks = calibration::resultComments(result);
    std::string problem;
    const std::string setup = session::currentSetup(connection.line(), notes, &problem);
    if (problem.empty() && !save.empty())
        problem = session::writeSetupFile(QString::fromStdString(save), setup);
    if (problem.empty() && !options.table.empty())
        problem = session::addToCalibrationTable(QString::fromStdString(options.table), *options.loHz, setup);
    return problem;
}

std::string dialectOf(const std::string& file, analyzer::Dialect* dialect)
{
    if (file.empty())
        return {};
    QFile in(QString::fromStdString(file));
    if (!in.open(QIODevice::ReadOnly) || in.size() > 64 * 1024)
        return file + ": cannot be read as a dialect file";
    std::string problem;
    *dialect = analyzer::Dialect::parse(in.readAll().toStdString(), &problem);
    return problem.empty() ? "" : file + ": " + problem;
}

} // namespace

int calibrate(Connection& connection, const CtlOptions& options)
{
    session::InstrumentSession* session = connection.session();
    if (!session)
        return fail("calibrate needs the instrument's own line, not a panel's socket: use the panel's Calibrate window");
    const CalibrateOptions& o = options.calibrate;
    analyzer::Dialect dialect;
    if (const std::string problem = dialectOf(o.dialectFile, &dialect); !problem.empty())
        return fail(problem);
    analyzer::AnalyzerClient client(dialect);
    if (const std::string problem = client.open(*analyzer::Resource::parse(o.analyzer)); !problem.empty())
        return fail(o.analyzer + ": " + problem);
    note("analyzer: " + client.identity());
    calibration::Request request = requestOf(o);
    if (options.loHz)
        request.loHz = static_cast<double>(*options.loHz);
    calibration::Calibration routine(*session, client, request);
    if (!options.json)
        routine.setProgressObserver([](const calibration::Progress& p) {
            note(std::to_string(p.readings) + ": " + p.step + ": " + p.lineName() + " "
                + QString::number(p.levelDbm().value_or(0), 'f', 2).toStdString() + " dBm");
        });
    const calibration::Result result = routine.run();
    if (const std::string problem = client.close(); !problem.empty())
        note(o.analyzer + ": the sweep state was not put back: " + problem);
    if (options.json)
        printJson(result);
    else
        printLines(result);
    if (!result.succeeded())
        return fail(std::string("calibration ") + outcomeText(result.outcome)
            + (result.problem.empty() ? "" : ": " + result.problem));
    if (o.store)
        connection.line().send(instrument::commands::SaveStatePrefix + std::to_string(*o.store));
    if (const std::string problem = keepResult(connection, options, result); !problem.empty())
        return fail(problem);
    const std::string failure = connection.failure();
    return failure.empty() ? Done : fail(failure);
}

} // namespace ctl
