#pragma once

#include <map>
#include <string>
#include <vector>

namespace analyzer {

// The messages that take a reading, as data. In a message, {n} stands for
// the marker's number, {hz} for a frequency in Hz and {state} for a sweep
// state as the analyzer answered it. The defaults are the messages almost
// every LAN analyzer takes.
struct Dialect {
    std::string identify = "*IDN?";
    std::string continuousQuery = ":INIT:CONT?";
    std::string continuousSet = ":INIT:CONT {state}";
    std::string single = ":INIT:CONT OFF";
    std::string markerX = ":CALC:MARK{n}:X {hz}";
    std::string sweep = ":INIT:IMM;*OPC?"; // answered once the sweep is done
    std::string markerY = ":CALC:MARK{n}:Y?"; // answered in dBm
    std::vector<std::string> setup; // sent once after single, e.g. averaging commands

    // A key=value text ('#' comments, blank lines allowed) replacing any of
    // the messages; setup may be given several times. Empty problem when
    // every line was taken.
    static Dialect parse(const std::string& text, std::string* problem);
    static const std::map<std::string, std::string Dialect::*>& keys();
};

// The message with its {n}, {hz} and {state} filled in.
std::string filled(std::string message, const std::map<std::string, std::string>& fields);

} // namespace analyzer
