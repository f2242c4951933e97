#include "Commands.h"

#include <QString>
#include <cstdio>
#include <string>

#include "CommandSet.h"
#include "Connection.h"
#include "DeviceFilter.h"
#include "SetupTransfer.h"
#include "Tell.h"

namespace ctl {

namespace {

int fail(const std::string& message)
{
    tell(message);
    return Failed;
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
        return fail(connection.port() + ": " + message + " = " + reply.text);
    std::printf("%s\n", reply.text.c_str());
    return Done;
}

// The instrument takes its messages in order, so a query answered after them
// shows that all of them reached it; without one, the last could still be on
// its way when the line is closed (ser2net may drop what a connection that
// has just closed left unread).
int send(Connection& connection, const std::vector<std::string>& messages)
{
    for (const std::string& message : messages)
        connection.line().send(message);
    const usblink::Reply confirmation = connection.line().ask(instrument::commands::Identify);
    if (!confirmation.answered())
        return fail(connection.port() + ": no answer after the messages: *IDN? = " + confirmation.text);
    return endOf(connection);
}

void printSettings(const instrument::SettingValues& values, bool json)
{
    const char* separator = "";
    for (const instrument::Setting& setting : instrument::Settings) {
        const int32_t value = values[instrument::indexOf(setting.id)];
        if (json)
            std::printf("%s\"%s\": %d", separator, setting.mnemonic, value);
        else
            std::printf("%s %d\n", setting.mnemonic, value);
        separator = ", ";
    }
}

int read(Connection& connection, bool json)
{
    const session::ReadBack read = session::readSettings(connection.line());
    if (!read.problem.empty())
        return fail(connection.port() + ": " + read.problem);
    if (json)
        std::printf("{");
    printSettings(read.values, json);
    if (json)
        std::printf("}\n");
    return Done;
}

int save(Connection& connection, const std::string& file)
{
    const instrument::SetupNotes notes = session::notesOfNow(connection.identity(), connection.port());
    const std::string problem = session::saveSetup(connection.line(), QString::fromStdString(file), notes);
    return problem.empty() ? Done : fail(connection.port() + ": " + problem);
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
        tell(file + " was saved from serial number " + saved + "; loading it into " + here);
    session::ReadBack read;
    const usblink::Reply error = session::applySetup(connection.line(), setup, [&] { read = session::readSettings(connection.line()); });
    if (!read.problem.empty())
        return fail(connection.port() + ": " + read.problem);
    if (const std::string different = differences(setup, read.values); !different.empty())
        return fail(connection.port() + ": " + different);
    if (!session::reportsNoError(error))
        return fail(connection.port() + ": the instrument reports " + error.text);
    return endOf(connection);
}

} // namespace

int runCommand(const CtlOptions& options)
{
    if (options.command == "list")
        return list(options);
    // A file is checked whole before the instrument is even opened.
    instrument::SetupFile setup;
    if (options.command == "load") {
        setup = session::readSetupFile(QString::fromStdString(options.arguments.front()));
        if (!setup.problem.empty())
            return fail(options.arguments.front() + ": " + setup.problem + "; nothing was sent");
    }
    std::string error;
    const auto connection = Connection::open(options, &error);
    if (!connection)
        return fail(error);
    if (options.command == "query")
        return query(*connection, options.arguments.front());
    if (options.command == "send")
        return send(*connection, options.arguments);
    if (options.command == "read")
        return read(*connection, options.json);
    if (options.command == "save")
        return save(*connection, options.arguments.front());
    return load(*connection, options.arguments.front(), setup);
}

} // namespace ctl
