// r6140k-sim: an R6140K on a pseudo-terminal, for trying the panel without
// the instrument.

#include <QCoreApplication>
#include <QSocketNotifier>
#include <algorithm>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fcntl.h>
#include <optional>
#include <string>
#include <string_view>
#include <unistd.h>

#include "Version.h"
#include "Instrument.h"
#include "PtyServer.h"
#include "SimulatedAnalyzer.h"

namespace {

constexpr const char* Usage = "Usage: r6140k-sim [--pace] [--trace] [--serial TEXT] [--analyzer HOST:PORT [ANALYZER OPTIONS]]\n"
                              "Serves a simulated R6140K on a pseudo-terminal and prints its path.\n"
                              "  --pace         time replies like a 57600-baud line\n"
                              "  --trace        print every received line as \"RX <line>\"\n"
                              "  --serial TEXT  serial number reported by *IDN? (default SIM00001)\n"
                              "  --analyzer HOST:PORT  also serve a simulated spectrum analyzer watching the\n"
                              "                 instrument's output, raw SCPI on HOST:PORT (port 0: a free one);\n"
                              "                 prints its resource TCPIP::HOST::PORT::SOCKET on the second line\n"
                              "  --analyzer-vxi11  also serve the analyzer over VXI-11 at HOST, registered\n"
                              "                 with the port mapper (rpcbind); prints its resource\n"
                              "                 TCPIP::HOST::INSTR on the third line\n"
                              "  --lo-hz F      the analyzer's carrier frequency (default 1e9)\n"
                              "  --tone-hz F    the baseband tone: wanted at LO+F, image at LO-F (default 1e6)\n"
                              "  --analyzer-sweep-ms N  sweep time before *OPC? answers (default 0)\n"
                              "  --analyzer-floor-dbm F  noise floor (default -90)\n"
                              "  --analyzer-noise-db F   reading noise, standard deviation (default 0.5)\n"
                              "  --analyzer-fault KIND:N  after N marker readings, fail as KIND says: silent\n"
                              "                 (answers nothing), garbage, hang-up, nan (9.91E+37)\n"
                              "  --help         show this text\n"
                              "  --version      show the version\n"
                              "SIGUSR1 makes the instrument lose its reference lock (:SYST:REFL? reads 0),\n"
                              "SIGUSR2 gives it back.\n";

struct Arguments {
    bool pace = false;
    bool trace = false;
    std::string serialNumber { sim::Instrument::DefaultSerialNumber };
    std::optional<std::pair<QHostAddress, quint16>> analyzer;
    bool analyzerVxi11 = false;
    sim::SimulatedAnalyzerOptions analyzerOptions;
    sim::AnalyzerFault analyzerFault;
};

std::optional<double> numberOf(const char* text)
{
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end == text || *end != '\0' || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<std::pair<QHostAddress, quint16>> hostAndPort(const std::string& text)
{
    const auto colon = text.rfind(':');
    if (colon == std::string::npos)
        return std::nullopt;
    QHostAddress host;
    bool portOk = false;
    const uint port = QString::fromStdString(text.substr(colon + 1)).toUInt(&portOk);
    std::string name = text.substr(0, colon);
    if (name.size() > 1 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    if (name == "localhost")
        name = "127.0.0.1";
    if (!host.setAddress(QString::fromStdString(name)) || !portOk || port > 65535)
        return std::nullopt;
    return std::pair { host, static_cast<quint16>(port) };
}

// Takes the analyzer's options; false for an option that is not one of
// them or has a bad value.
// KIND:N of --analyzer-fault.
std::optional<sim::AnalyzerFault> analyzerFaultOf(std::string_view text)
{
    using Kind = sim::AnalyzerFault::Kind;
    static const std::pair<std::string_view, Kind> kinds[] = { { "silent", Kind::Silent },
        { "garbage", Kind::Garbage }, { "hang-up", Kind::HangUp }, { "nan", Kind::NotANumber } };
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto kind = std::ranges::find(kinds, text.substr(0, colon), &std::pair<std::string_view, Kind>::first);
    const std::string readings(text.substr(colon + 1));
    const auto count = numberOf(readings.c_str());
    if (kind == std::end(kinds) || !count || *count < 0 || *count > 1e6 || *count != std::floor(*count))
        return std::nullopt;
    return sim::AnalyzerFault { kind->second, static_cast<int>(*count) };
}

bool takeAnalyzerOption(std::string_view option, const char* value, Arguments& arguments)
{
    if (option == "--analyzer") {
        arguments.analyzer = hostAndPort(value);
        return arguments.analyzer.has_value();
    }
    if (option == "--analyzer-fault") {
        const auto fault = analyzerFaultOf(value);
        arguments.analyzerFault = fault.value_or(sim::AnalyzerFault {});
        return fault.has_value();
    }
    const auto number = numberOf(value);
    if (!number)
        return false;
    sim::AnalyzerOptions& model = arguments.analyzerOptions.model;
    if (option == "--lo-hz" && *number > 0)
        model.loHz = *number;
    else if (option == "--tone-hz" && *number > 0)
        model.toneHz = *number;
    else if (option == "--analyzer-sweep-ms" && *number >= 0 && *number <= 60000)
        arguments.analyzerOptions.sweepTime = std::chrono::milliseconds(static_cast<long>(*number));
    else if (option == "--analyzer-floor-dbm")
        model.floorDbm = *number;
    else if (option == "--analyzer-noise-db" && *number >= 0)
        model.noiseDb = *number;
    else
        return false;
    return true;
}

// Written by the signal handler, polled by the server: ends it cleanly.
int stopPipe[2] = { -1, -1 };

void requestStop(int)
{
    const char byte = 0;
    [[maybe_unused]] const auto ignored = write(stopPipe[1], &byte, 1);
}

// The reference lock as SIGUSR1 (lost) and SIGUSR2 (regained) last left it,
// so that a lost lock can be tried on a running panel. The instrument takes
// it up before each line it interprets, outside the handlers.
volatile std::sig_atomic_t referenceLocked = 1;

void loseReferenceLock(int) { referenceLocked = 0; }

void regainReferenceLock(int) { referenceLocked = 1; }

bool handleSignal(int signal, void (*handler)(int))
{
    struct sigaction action { };
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    return sigaction(signal, &action, nullptr) == 0;
}

bool installSignalHandlers()
{
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    return handleSignal(SIGINT, requestStop) && handleSignal(SIGTERM, requestStop)
        && handleSignal(SIGUSR1, loseReferenceLock) && handleSignal(SIGUSR2, regainReferenceLock);
}

// nullopt when the program should end at once with the given status.
std::optional<Arguments> parseArguments(int argc, char** argv, int& exitStatus)
{
    Arguments arguments;
    exitStatus = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string_view option = argv[i];
        if (option == "--pace") {
            arguments.pace = true;
        } else if (option == "--trace") {
            arguments.trace = true;
        } else if (option == "--serial" && i + 1 < argc) {
            arguments.serialNumber = argv[++i];
        } else if (option == "--analyzer-vxi11") {
            arguments.analyzerVxi11 = true;
        } else if (option.starts_with("--analyzer") || option == "--lo-hz" || option == "--tone-hz") {
            if (i + 1 >= argc || !takeAnalyzerOption(option, argv[i + 1], arguments)) {
                std::fprintf(stderr, "r6140k-sim: bad value for '%s'\n%s", argv[i], Usage);
                exitStatus = 2;
                return std::nullopt;
            }
            ++i;
        } else if (option == "--help") {
            std::fputs(Usage, stdout);
            return std::nullopt;
        } else if (option == "--version") {
            std::printf("r6140k-sim %s\n", app::VersionText);
            return std::nullopt;
        } else {
            std::fprintf(stderr, "r6140k-sim: bad option '%s'\n%s", argv[i], Usage);
            exitStatus = 2;
            return std::nullopt;
        }
    }
    if (arguments.analyzerVxi11 && !arguments.analyzer) {
        std::fprintf(stderr, "r6140k-sim: --analyzer-vxi11 goes with --analyzer HOST:PORT\n%s", Usage);
        exitStatus = 2;
        return std::nullopt;
    }
    return arguments;
}

void traceLine(std::string_view line)
{
    std::printf("RX %.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stdout);
}

// Serves the terminal and the analyzer on Qt's event loop until a signal
// asks to stop; the exit status.
int serveWithAnalyzer(int argc, char** argv, sim::PtyServer& server, const sim::Instrument& instrument,
    const Arguments& arguments)
{
    QCoreApplication application(argc, argv);
    sim::SimulatedAnalyzer analyzer(instrument, arguments.analyzerOptions);
    analyzer.setFault(arguments.analyzerFault);
    const QHostAddress& address = arguments.analyzer->first;
    if (!analyzer.listen(address, arguments.analyzer->second)
        || (arguments.analyzerVxi11 && !analyzer.listenVxi11(address, true))) {
        std::fprintf(stderr, "r6140k-sim: analyzer: %s\n", analyzer.errorString().toLocal8Bit().constData());
        return 1;
    }
    std::printf("%s\n", analyzer.socketResource().toLocal8Bit().constData());
    if (arguments.analyzerVxi11)
        std::printf("TCPIP::%s::INSTR\n", address.toString().toLocal8Bit().constData());
    std::fflush(stdout);
    QSocketNotifier terminal(server.descriptor(), QSocketNotifier::Read);
    QSocketNotifier stop(stopPipe[0], QSocketNotifier::Read);
    QObject::connect(&terminal, &QSocketNotifier::activated, [&server] {
        if (!server.takeInput()) {
            std::perror("r6140k-sim: terminal failed");
            QCoreApplication::exit(1);
        }
    });
    QObject::connect(&stop, &QSocketNotifier::activated, [] { QCoreApplication::exit(0); });
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char** argv)
{
    int exitStatus = 0;
    const auto arguments = parseArguments(argc, argv, exitStatus);
    if (!arguments)
        return exitStatus;
    if (!installSignalHandlers()) {
        std::perror("r6140k-sim: signal set-up");
        return 1;
    }
    try {
        sim::Instrument instrument(arguments->serialNumber);
        instrument.setLineObserver([&instrument, trace = arguments->trace](std::string_view line) {
            instrument.setReferenceLocked(referenceLocked != 0);
            if (trace)
                traceLine(line);
        });
        sim::PtyServer server(instrument, { .pace = arguments->pace });
        std::printf("%s\n", server.path().c_str());
        std::fflush(stdout);
        if (arguments->analyzer)
            return serveWithAnalyzer(argc, argv, server, instrument, *arguments);
        if (!server.serve(stopPipe[0])) {
            std::perror("r6140k-sim: terminal failed");
            return 1;
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "r6140k-sim: %s\n", error.what());
        return 1;
    }
    return 0;
}
