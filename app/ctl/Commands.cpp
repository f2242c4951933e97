#include "Commands.h"

#include <QFile>
#include <QString>
#include <cstdio>
#include <string>

#include "Calibrate.h"
#include "CalibrationTableFile.h"
#include "CommandSet.h"
#include "Connection.h"
#include "DeviceFilter.h"
#include "ErrorQueue.h"
#include "SettingMessage.h"
#include "SetupTransfer.h"
#include "Tell.h"

namespace ctl {

int fail(const std::string& message)
{
    tell(message);
    return Failed;
}

namespace {

// Where a file is named, this names standard input or output.
constexpr const char* StandardStream = "-";

// A failure on the instrument's line; one that waited in vain for a reply
// says what to check.
int failOn(Connection& connection, const std::string& why)
{
    const bool timedOut = why.find(usblink::FTDI_Driver::ReadTimeout) != std::string::npos;
    return fail(connection.port() + ": " + why + (timedOut ? "; " + connection.timeoutAdvice() : ""));
}

// Done, unless the line failed on the way.
int endOf(Connection& connection)
{
    const std::string failure = connection.failure();
    return failure.empty() ? Done : fail(failure);
}

int list(const CtlOptions& options)
{
    std::string error;
    Instruments instruments(options, &error);
    if (!error.empty())
        return fail(error);
    bool offered = false;
    for (std::size_t index = 0; index < instruments.devices().size(); ++index) {
        const std::string& entry = instruments.devices()[index];
        const bool isInstrument = instrument::isInstrumentEntry(entry);
        offered |= isInstrument;
        std::string held;
        if (const auto panel = instruments.holder(static_cast<int32_t>(index)))
            held = "   (held by r6140k-panel pid " + std::to_string(panel->pid) + ", SCPI socket " + panel->host + ":"
                + std::to_string(panel->port) + ")";
        std::printf("%c %s%s\n", isInstrument ? '*' : ' ', entry.c_str(), held.c_str());
    }
    return offered ? Done : fail("no R6140K device is listed: give its serial line with --port");
}

int query(Connection& connection, const std::string& message)
{
    const usblink::Reply reply = connection.line().ask(message);
    if (!reply.answered())
        return failOn(connection, message + " = " + reply.text);
    printLine(reply.text);
    return Done;
}

// Each error the queue held, as having come before what ctl is to do.
void tellQueuedBefore(Connection& connection, const session::QueuedErrors& before, const std::string& what)
{
    for (const std::string& error : before.errors)
        note(connection.port() + ": errors queued before the " + what + ": " + error);
}

// Judges what ctl sent by the errors it caused: each is told, and any fails.
// The instrument takes its messages in order, so the queue answered after
// them also shows that all of them reached it.
int judged(Connection& connection, const session::QueuedErrors& caused)
{
    if (!caused.failure.empty())
        return failOn(connection, std::string("no answer after the messages: ") + instrument::commands::ErrorQuery + " = "
            + caused.failure);
    for (const std::string& error : caused.errors)
        tell(connection.port() + ": the instrument reports " + error);
    return caused.errors.empty() ? endOf(connection) : Failed;
}

// Without the error queue, a query after the messages shows that all of them
// reached the instrument; without one, the last could still be on its way
// when the line is closed (ser2net may drop what a connection that has just
// closed left unread).
int sendUnchecked(Connection& connection, const std::vector<std::string>& messages)
{
    for (const std::string& message : messages)
        connection.line().send(message);
    const usblink::Reply confirmation = connection.line().ask(instrument::commands::Identify);
    if (!confirmation.answered())
        return failOn(connection, "no answer after the messages: *IDN? = " + confirmation.text);
    return endOf(connection);
}

int send(Connection& connection, const CtlOptions& options)
{
    if (!options.checkErrors)
        return sendUnchecked(connection, options.arguments);
    const session::QueuedErrors before = session::drainErrors(connection.line());
    if (!before.failure.empty())
        return failOn(connection, std::string(instrument::commands::ErrorQuery) + " = " + before.failure + "; nothing was sent");
    tellQueuedBefore(connection, before, "send");
    for (const std::string& message : options.arguments)
        connection.line().send(message);
    return judged(connection, session::drainErrors(connection.line()));
}

// Each setting under its mnemonic in the instrument's own unit, and an
// attenuator's decibels also under the mnemonic with the decibel suffix.
void printSettings(const instrument::SettingValues& values, bool json)
{
    const char* separator = "";
    const auto print = [&](const std::string& name, const std::string& value) {
        if (json)
            std::printf("%s\"%s\": %s", separator, name.c_str(), value.c_str());
        else
            std::printf("%s %s\n", name.c_str(), value.c_str());
        separator = ", ";
    };
    for (const instrument::Setting& setting : instrument::Settings) {
        const int32_t value = values[instrument::indexOf(setting.id)];
        print(setting.mnemonic, std::to_string(value));
        if (setting.kind == instrument::SettingKind::Attenuator)
            print(std::string(setting.mnemonic) + instrument::DecibelSuffix, instrument::decibelText(value));
    }
}

int read(Connection& connection, bool json)
{
    const session::ReadBack read = session::readSettings(connection.line());
    if (!read.problem.empty())
        return failOn(connection, read.problem);
    if (json)
        std::printf("{");
    printSettings(read.values, json);
    if (json)
        std::printf("}\n");
    return Done;
}

// "-" is standard output, written only once every setting was read.
int save(Connection& connection, const std::string& file)
{
    const instrument::SetupNotes notes = session::notesOfNow(connection.identity(), connection.port());
    if (file != StandardStream) {
        const std::string problem = session::saveSetup(connection.line(), QString::fromStdString(file), notes);
        return problem.empty() ? Done : failOn(connection, problem);
    }
    const session::ReadBack read = session::readSettings(connection.line());
    if (!read.problem.empty())
        return failOn(connection, "Nothing was saved: " + read.problem);
    const std::string text = instrument::formatSetup(notes, read.values);
    if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0)
        return fail("cannot write the setup to standard output");
    return endOf(connection);
}

// "-" is standard input.
instrument::SetupFile readSetup(const std::string& file)
{
    if (file != StandardStream)
        return session::readSetupFile(QString::fromStdString(file));
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly))
        return instrument::SetupFile::refused("cannot read standard input: " + in.errorString().toStdString());
    return session::readSetup(in);
}

// A load's setup and the name its messages give it: a setup file, or the
// section of a calibration table.
struct SetupToLoad {
    std::string name;
    instrument::SetupFile setup;
};

SetupToLoad setupToLoad(const CtlOptions& options)
{
    if (options.table.empty())
        return { options.arguments.front(), readSetup(options.arguments.front()) };
    const std::string lo = "LO " + instrument::loHzText(*options.loHz) + " Hz";
    const instrument::CalibrationTable table = session::readCalibrationTable(QString::fromStdString(options.table));
    if (!table.problem.empty())
        return { options.table, instrument::SetupFile::refused(table.problem) };
    const instrument::TableSection* section = table.section(*options.loHz);
    if (!section)
        return { options.table,
            instrument::SetupFile::refused("it has no section for " + lo + "; it holds " + table.frequenciesText()) };
    return { options.table + " (" + lo + ")", section->setup };
}

// What the instrument holds after a load that it does not hold as the file
// says; empty when it holds every value.
std::string differences(const instrument::SetupFile& setup, const instrument::SettingValues& values)
{
    std::string text;
    for (const instrument::SetupEntry& entry : setup.entries) {
        const int32_t held = values[instrument::indexOf(entry.id)];
        if (held != entry.value)
            text += std::string(text.empty() ? "" : "; ") + instrument::settingOf(entry.id).mnemonic + " reads back "
                + std::to_string(held) + ", not " + std::to_string(entry.value);
    }
    return text;
}

int load(Connection& connection, const std::string& file, const instrument::SetupFile& setup)
{
    const std::string saved = instrument::serialNumberOf(setup.identity);
    const std::string here = instrument::serialNumberOf(connection.identity());
    if (!saved.empty() && saved != here)
        note(file + " was saved from serial number " + saved + "; loading it into " + here);
    session::ReadBack read;
    const session::SetupApplied applied
        = session::applySetup(connection.line(), setup, [&] { read = session::readSettings(connection.line()); });
    if (!applied.before.failure.empty())
        return failOn(connection, std::string(instrument::commands::ErrorQuery) + " = " + applied.before.failure
            + "; nothing was sent");
    tellQueuedBefore(connection, applied.before, "load");
    if (applied.partial()) {
        std::string failure = connection.failure();
        if (failure.ends_with('.'))
            failure.pop_back();
        return fail((failure.empty() ? connection.port() + ": the line failed" : failure) + "; the load was cut short: "
            + applied.partialText());
    }
    if (!read.problem.empty())
        return failOn(connection, read.problem);
    if (const std::string different = differences(setup, read.values); !different.empty())
        return failOn(connection, different);
    return judged(connection, applied.after);
}

} // namespace

int runCommand(const CtlOptions& options)
{
    setTelling({ .quiet = options.quiet, .raw = options.raw });
    if (options.command == "list")
        return list(options);
    // A file is checked whole before the instrument is even opened.
    SetupToLoad toLoad;
    if (options.command == "load") {
        toLoad = setupToLoad(options);
        if (!toLoad.setup.problem.empty())
            return fail(toLoad.name + ": " + toLoad.setup.problem + "; nothing was sent");
    }
    std::string error;
    const auto connection = Connection::open(options, &error);
    if (!connection)
        return fail(error);
    if (options.command == "query")
        return query(*connection, options.arguments.front());
    if (options.command == "send")
        return send(*connection, options);
    if (options.command == "read")
        return read(*connection, options.json);
    if (options.command == "save")
        return save(*connection, options.arguments.front());
    if (options.command == "calibrate")
        return calibrate(*connection, options);
    return load(*connection, toLoad.name, toLoad.setup);
}

} // namespace ctl
