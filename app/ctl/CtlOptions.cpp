#include "CtlOptions.h"

#include <QCommandLineParser>
#include <cmath>
#include <cstdlib>
#include <map>

#include "CommandSet.h"
#include "Commands.h"
#include "Resource.h"
#include "MessageSyntax.h"
#include "NetworkBridge.h"
#include "SettingMessage.h"
#include "Tell.h"

namespace ctl {

namespace {

constexpr const char* Description
    = "Controls an R6140K I/Q upconverter without any window: from a shell, a script or a CI job.\n"
      "\n"
      "Commands:\n"
      "  list              the bridge devices and network lines, the instrument's marked with *\n"
      "  query MESSAGE     send a message that expects a reply and print the reply\n"
      "  send MESSAGE...   send messages in order, then ask the error queue (--no-check: don't)\n"
      "  read [--json]     every setting as NAME VALUE lines, NAME the long-form mnemonic and\n"
      "                    VALUE the instrument's integer; attenuators also as NAME_dB DECIBELS\n"
      "  save FILE         read every setting back and write them to a setup file\n"
      "  load FILE         check a setup file whole, send it, read back and ask the error queue\n"
      "  load --table FILE --lo-hz F   the same with the setup of LO frequency F in a calibration table\n"
      "  calibrate --analyzer RESOURCE   null the carrier (and balance the image) with a spectrum\n"
      "                    analyzer in the loop; exit 0 when the target is met or it converged;\n"
      "                    --table FILE --lo-hz F adds the result to a calibration table\n"
      "\n"
      "An LO frequency is whole hertz, plain or in e-notation: 2400000000 and 2.4e9 are the same.\n"
      "\n"
      "Without --port, --serial or --panel it uses the only instrument attached. A line that a\n"
      "running r6140k-panel holds with --listen is reached through that panel's SCPI socket.\n"
      "Exit status: 0 done, 1 the instrument or its line failed, 2 a usage error.";

// The number of arguments each command takes: at least, at most.
struct Arity {
    std::size_t least, most;
};
const std::map<std::string, Arity> Commands = {
    { "list", { 0, 0 } },
    { "query", { 1, 1 } },
    { "send", { 1, SIZE_MAX } },
    { "read", { 0, 0 } },
    { "save", { 1, 1 } },
    { "load", { 0, 1 } }, // a file, or none with --table
    { "calibrate", { 0, 0 } },
};

double numberOf(const QString& text, const char* option)
{
    bool isNumber = false;
    const double value = text.toDouble(&isNumber);
    if (!isNumber || !std::isfinite(value))
        usageError(std::string("--") + option + " needs a number, not \"" + text.toStdString() + "\"");
    return value;
}

int integerOf(const QString& text, const char* option, int least, int most)
{
    bool isNumber = false;
    const int value = text.toInt(&isNumber);
    if (!isNumber || value < least || value > most)
        usageError(std::string("--") + option + " takes a whole number from " + std::to_string(least) + " to "
            + std::to_string(most) + ", not \"" + text.toStdString() + "\"");
    return value;
}

// The calibrate options: one of a frequency and a marker per level read.
struct CalibrateParsing {
    QCommandLineOption analyzer { "analyzer",
        "calibrate: the spectrum analyzer, TCPIP::host::port::SOCKET (raw SCPI) or TCPIP::host[::device]::INSTR (VXI-11).",
        "resource" };
    QCommandLineOption dialect { "dialect", "calibrate: a key=value file of the analyzer's messages.", "file" };
    QCommandLineOption offsets { "offsets", "calibrate: modulator (default), input or baseband.", "pair" };
    QCommandLineOption carrierHz { "carrier-hz", "calibrate: read the carrier at this frequency.", "Hz" };
    QCommandLineOption carrierMarker { "carrier-marker", "calibrate: read the carrier at this marker (1).", "n" };
    QCommandLineOption imageHz { "image-hz", "calibrate: balance the image read at this frequency.", "Hz" };
    QCommandLineOption imageMarker { "image-marker", "calibrate: balance the image read at this marker.", "n" };
    QCommandLineOption wantedHz { "wanted-hz", "calibrate: the wanted sideband's frequency, for dBc.", "Hz" };
    QCommandLineOption wantedMarker { "wanted-marker", "calibrate: the wanted sideband's marker, for dBc.", "n" };
    QCommandLineOption target { "target", "calibrate: stop once the carrier reads this or less.", "dBm" };
    QCommandLineOption budget { "budget", "calibrate: readings for the carrier null (60).", "n" };
    QCommandLineOption store { "store", "calibrate: store the result in user state n (0 to 9).", "n" };
    QCommandLineOption save { "save", "calibrate: save the result as a setup file.", "file" };

    QList<QCommandLineOption> all() const
    {
        return { analyzer, dialect, offsets, carrierHz, carrierMarker, imageHz, imageMarker, wantedHz, wantedMarker,
            target, budget, store, save };
    }

    void frequencyOrMarker(const QCommandLineParser& parser, const QCommandLineOption& hz,
        const QCommandLineOption& marker, std::optional<double>& hzValue, std::optional<int>& markerValue) const
    {
        if (parser.isSet(hz) && parser.isSet(marker))
            usageError("give --" + hz.names().first().toStdString() + " or --" + marker.names().first().toStdString()
                + ", not both");
        if (parser.isSet(hz))
            hzValue = numberOf(parser.value(hz), "frequency");
        if (parser.isSet(marker))
            markerValue = integerOf(parser.value(marker), "marker", 1, 4);
    }

    CalibrateOptions read(const QCommandLineParser& parser) const
    {
        CalibrateOptions o;
        o.analyzer = parser.value(analyzer).toStdString();
        if (o.analyzer.empty())
            usageError("calibrate needs --analyzer RESOURCE (TCPIP::host::port::SOCKET or TCPIP::host::INSTR)");
        if (!analyzer::Resource::parse(o.analyzer))
            usageError("bad analyzer resource " + o.analyzer + " (TCPIP::host::port::SOCKET or TCPIP::host::INSTR)");
        o.dialectFile = parser.value(dialect).toStdString();
        if (parser.isSet(offsets))
            o.offsets = parser.value(offsets).toStdString();
        if (o.offsets != "modulator" && o.offsets != "input" && o.offsets != "baseband")
            usageError("--offsets takes modulator, input or baseband");
        frequencyOrMarker(parser, carrierHz, carrierMarker, o.carrierHz, o.carrierMarker);
        frequencyOrMarker(parser, imageHz, imageMarker, o.imageHz, o.imageMarker);
        frequencyOrMarker(parser, wantedHz, wantedMarker, o.wantedHz, o.wantedMarker);
        if (parser.isSet(target))
            o.targetDbm = numberOf(parser.value(target), "target");
        if (parser.isSet(budget))
            o.budget = integerOf(parser.value(budget), "budget", 3, 100000);
        if (parser.isSet(store))
            o.store = integerOf(parser.value(store), "store", instrument::commands::FirstUserState,
                instrument::commands::LastUserState);
        o.save = parser.value(save).toStdString();
        return o;
    }
};

// --table and --lo-hz: where calibrate puts its result and load finds its
// setup, each a section of one LO frequency.
struct TableParsing {
    QCommandLineOption table { "table",
        "calibrate: add the result to this calibration table as the section of --lo-hz; load: load that section.",
        "file" };
    QCommandLineOption loHz { "lo-hz",
        "calibrate: the LO frequency the result holds for; with --table, the section's (load too). Whole hertz.",
        "Hz" };

    QList<QCommandLineOption> all() const { return { table, loHz }; }

    void read(const QCommandLineParser& parser, CtlOptions& options) const
    {
        const bool tableCommand = options.command == "calibrate" || options.command == "load";
        if (!tableCommand && (parser.isSet(table) || parser.isSet(loHz)))
            usageError("--table and --lo-hz go with calibrate and load only");
        options.table = parser.value(table).toStdString();
        if (parser.isSet(loHz)) {
            std::string problem;
            options.loHz = instrument::parseLoHz(parser.value(loHz).toStdString(), &problem);
            if (!options.loHz)
                usageError("--lo-hz: " + problem);
        }
        if (!options.table.empty() && !options.loHz)
            usageError("--table needs --lo-hz: the table holds one setup per LO frequency");
        if (options.command == "load" && options.table.empty() == options.arguments.empty())
            usageError("load takes a setup file, or --table FILE --lo-hz F");
        if (options.command == "load" && options.loHz && options.table.empty())
            usageError("load takes --lo-hz only with --table");
    }
};

// A setting of the table is checked as the panel checks it, unit by unit,
// before anything goes out; other messages go as they are.
void checkSettings(const std::string& message)
{
    for (const std::string_view unit : instrument::splitUnits(message)) {
        const instrument::SettingMessage setting = instrument::readSettingMessage(unit);
        if (!setting.problem.empty())
            usageError("\"" + message + "\": " + setting.problem + "; nothing was sent");
    }
}

void checkMessages(const CtlOptions& options)
{
    if (options.command != "query" && options.command != "send")
        return;
    for (const std::string& message : options.arguments) {
        if (const std::string problem = instrument::messageProblem(message); !problem.empty())
            usageError("\"" + message + "\" cannot be sent: " + problem);
        if (instrument::trimBlanks(message).empty())
            usageError("an empty message sends nothing; nothing was sent");
        if (instrument::expectsReply(message) != (options.command == "query"))
            usageError(options.command == "query" ? "\"" + message + "\" expects no reply: use send"
                                                  : "\"" + message + "\" expects a reply: use query");
        checkSettings(message);
    }
}

void checkTarget(const CtlOptions& options)
{
    if (options.target == CtlOptions::Target::Port && usblink::NetworkAddress::looksLikeOne(options.targetValue)
        && !usblink::NetworkAddress::parse(options.targetValue))
        usageError("bad network port " + options.targetValue + " (tcp://HOST:PORT or rfc2217://HOST:PORT)");
    if (options.target == CtlOptions::Target::Panel
        && !usblink::NetworkAddress::parse("tcp://" + options.targetValue))
        usageError("bad panel address " + options.targetValue + " (HOST:PORT)");
}

// The shortest and the longest reply wait --timeout takes, in seconds.
constexpr double LeastTimeout = 0.001;
constexpr double GreatestTimeout = 3600;

int timeoutOf(const QString& seconds)
{
    bool isNumber = false;
    const double value = seconds.toDouble(&isNumber);
    if (!isNumber)
        usageError("--timeout needs a number of seconds, not \"" + seconds.toStdString() + "\"");
    if (!(value >= LeastTimeout && value <= GreatestTimeout))
        usageError("--timeout " + seconds.toStdString() + " is out of range (0.001 to 3600 seconds)");
    return static_cast<int>(value * 1000 + 0.5);
}

} // namespace

void usageError(const std::string& message)
{
    tell(message);
    std::exit(UsageError);
}

CtlOptions parseCtlOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption port("port",
        "The instrument on the serial line at <path>, or on a line exported on the network: tcp://HOST:PORT "
        "(raw TCP) or rfc2217://HOST:PORT (telnet with RFC 2217).",
        "path");
    const QCommandLineOption serial("serial", "The instrument on the bridge with this USB serial number.", "serial");
    const QCommandLineOption panel("panel", "The instrument of the running panel whose SCPI socket is at <host:port>.",
        "host:port");
    const QCommandLineOption json("json", "read: print the settings as one JSON object.");
    const QCommandLineOption noCheck("no-check", "send: leave out asking the error queue after the messages.");
    const QCommandLineOption timeout("timeout",
        "Wait this long for each reply (default: 5 s for a line of its own, 60 s through a panel).", "seconds");
    const QCommandLineOption quiet({ "q", "quiet" }, "Print only errors on stderr.");
    const QCommandLineOption raw("raw", "Print the instrument's text as received, even on a terminal.");
    parser.addOptions({ port, serial, panel, json, noCheck, timeout, quiet, raw });
    const CalibrateParsing calibrate;
    parser.addOptions(calibrate.all());
    const TableParsing table;
    parser.addOptions(table.all());
    parser.addPositionalArgument("command", "list, query, send, read, save, load or calibrate", "[TARGET] COMMAND");
    parser.addPositionalArgument("arguments", "the command's message(s) or file", "[ARGUMENTS...]");
    if (!parser.parse(arguments))
        usageError(parser.errorText().toStdString());
    if (parser.isSet("help") || parser.isSet("help-all"))
        parser.showHelp(0);
    if (parser.isSet("version"))
        parser.showVersion();

    CtlOptions options;
    int targets = 0;
    for (const auto& [option, target] : { std::pair { &port, CtlOptions::Target::Port },
             std::pair { &serial, CtlOptions::Target::Serial }, std::pair { &panel, CtlOptions::Target::Panel } }) {
        const QStringList values = parser.values(*option);
        targets += static_cast<int>(values.size());
        if (!values.isEmpty()) {
            options.target = target;
            options.targetValue = values.first().toStdString();
        }
    }
    if (targets > 1)
        usageError("give one target at most: --port, --serial or --panel");
    checkTarget(options);

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        usageError("no command given (list, query, send, read, save or load); see --help");
    options.command = positional.takeFirst().toStdString();
    for (const QString& argument : positional)
        options.arguments.push_back(argument.toStdString());
    const auto command = Commands.find(options.command);
    if (command == Commands.end())
        usageError("unknown command " + options.command + " (list, query, send, read, save or load)");
    if (options.arguments.size() < command->second.least || options.arguments.size() > command->second.most)
        usageError("wrong number of arguments for " + options.command + "; see --help");
    options.json = parser.isSet(json);
    if (options.json && options.command != "read" && options.command != "calibrate")
        usageError("--json goes with read and calibrate only");
    if (options.command == "calibrate")
        options.calibrate = calibrate.read(parser);
    table.read(parser, options);
    options.checkErrors = !parser.isSet(noCheck);
    if (!options.checkErrors && options.command != "send")
        usageError("--no-check goes with send only");
    if (parser.isSet(timeout))
        options.timeoutMs = timeoutOf(parser.value(timeout));
    options.quiet = parser.isSet(quiet);
    options.raw = parser.isSet(raw);
    checkMessages(options);
    return options;
}

} // namespace ctl
