// r6140k-sim: an R6140K on a pseudo-terminal, for trying the panel without
// the instrument.

#include <csignal>
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

namespace {

constexpr const char* Usage = "Usage: r6140k-sim [--pace] [--trace] [--serial TEXT]\n"
                              "Serves a simulated R6140K on a pseudo-terminal and prints its path.\n"
                              "  --pace         time replies like a 57600-baud line\n"
                              "  --trace        print every received line as \"RX <line>\"\n"
                              "  --serial TEXT  serial number reported by *IDN? (default SIM00001)\n"
                              "  --help         show this text\n"
                              "  --version      show the version\n";

struct Arguments {
    bool pace = false;
    bool trace = false;
    std::string serialNumber { sim::Instrument::DefaultSerialNumber };
};

// Written by the signal handler, polled by the server: ends it cleanly.
int stopPipe[2] = { -1, -1 };

void requestStop(int)
{
    const char byte = 0;
    [[maybe_unused]] const auto ignored = write(stopPipe[1], &byte, 1);
}

bool installStopHandler()
{
    if (pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return false;
    struct sigaction action { };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
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
    return arguments;
}

void traceLine(std::string_view line)
{
    std::printf("RX %.*s\n", static_cast<int>(line.size()), line.data());
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    int exitStatus = 0;
    const auto arguments = parseArguments(argc, argv, exitStatus);
    if (!arguments)
        return exitStatus;
    if (!installStopHandler()) {
        std::perror("r6140k-sim: signal set-up");
        return 1;
    }
    try {
        sim::Instrument instrument(arguments->serialNumber);
        if (arguments->trace)
            instrument.setLineObserver(traceLine);
        sim::PtyServer server(instrument, { .pace = arguments->pace });
        std::printf("%s\n", server.path().c_str());
        std::fflush(stdout);
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
