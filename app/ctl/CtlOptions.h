#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

#include "CalibrationTable.h"

namespace ctl {

// What calibrate was asked: the analyzer, where it reads, what to keep.
struct CalibrateOptions {
    std::string analyzer; // a VISA resource string
    std::string dialectFile; // key=value messages replacing the defaults
    std::string offsets = "modulator";
    std::optional<double> carrierHz, imageHz, wantedHz, targetDbm;
    std::optional<int> carrierMarker, imageMarker, wantedMarker;
    int budget = 60;
    std::optional<int> store; // a user state
    std::string save; // a setup file
};

// What r6140k-ctl was asked to do, and where.
struct CtlOptions {
    enum class Target { OnlyInstrument, Port, Serial, Panel };
    Target target = Target::OnlyInstrument;
    std::string targetValue; // the path or address, serial number, or HOST:PORT
    std::string command; // list, query, send, read, save or load
    std::vector<std::string> arguments; // the command's
    bool json = false;
    bool checkErrors = true; // send: ask the error queue after the messages
    std::optional<int> timeoutMs; // the reply wait; the line's own when not given
    bool quiet = false; // -q: errors only on stderr
    bool raw = false; // instrument text as received, even on a terminal
    std::string table; // calibrate: the table the result goes into; load: the table the setup comes from
    std::optional<instrument::LoHz> loHz; // the LO frequency of the result, and its section in a table
    CalibrateOptions calibrate;
};

// Parses the arguments; --help and --version print and end the process, a
// usage error is told on stderr and ends it with status 2.
CtlOptions parseCtlOptions(const QStringList& arguments);

// Ends the process with status 2 after telling the usage error.
[[noreturn]] void usageError(const std::string& message);

} // namespace ctl
