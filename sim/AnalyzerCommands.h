#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "AnalyzerModel.h"

namespace sim {

// What the simulated analyzer does wrong on purpose, once it has answered
// afterReadings marker readings, for tests of the clients that read it.
struct AnalyzerFault {
    enum class Kind {
        None,
        Silent, // reads every line, answers none
        Garbage, // answers every query with text that is no reply to it
        HangUp, // ends the client's connection on the next line
        NotANumber, // reads every marker as SCPI's not-a-number, as for a marker that is off
    };
    Kind kind = Kind::None;
    int afterReadings = 0;
};

// What a line gets: the reply (none for a line without a query), not to be
// sent before due on the commands' clock; or the end of the connection.
struct AnalyzerAnswer {
    std::optional<std::string> reply;
    std::chrono::milliseconds due {};
    bool hangUp = false;
};

// The simulated spectrum analyzer's command interpreter and state (markers,
// sweep, error queue), free of any transport; its readings come from the
// model. Units of a line are joined by ';' and so are their replies:
//   *IDN?  *RST  *CLS  *OPC?  :SYST:ERR?
//   :INIT:CONT OFF|ON|0|1   :INIT:CONT?   :INIT[:IMM]
//   :CALC:MARK<n>:X <Hz>   :CALC:MARK<n>:X?   :CALC:MARK<n>:Y?   (n 1..4)
// A frequency may end in HZ, KHZ, MHZ or GHZ. *OPC? answers 1 once the
// sweep begun by :INIT:IMM is done, sweepTime after it began.
class AnalyzerCommands {
public:
    static constexpr std::size_t MarkerCount = 4;
    static constexpr std::size_t ErrorQueueCapacity = 10;
    static constexpr double MaxFrequencyHz = 26.5e9;
    static constexpr std::string_view Maker = "R6140K Simulator";
    static constexpr std::string_view Model = "Simulated Analyzer";
    static constexpr const char* GarbageReply = "#?!garbage";
    static constexpr const char* NotANumberReply = "9.91E+37";

    using Clock = std::function<std::chrono::milliseconds()>;
    static std::chrono::milliseconds steadyClock();

    AnalyzerCommands(AnalyzerModel& model, std::chrono::milliseconds sweepTime, Clock clock = steadyClock);

    AnalyzerAnswer handleLine(std::string_view line);

    // Queues an error of the transport's (a line too long) as the
    // interpreter's own are queued.
    static constexpr int InputBufferOverrun = -363;
    void noteError(int code);

    void setFault(AnalyzerFault fault) { fault_ = fault; }
    int readingsTaken() const { return readings_; }
    bool continuous() const { return continuous_; }
    std::string identity() const;
    // Markers 1 to 3 on carrier, image and wanted sideband, 4 on the carrier.
    void resetMarkers();

private:
    struct Command;
    static const std::vector<Command>& commands();

    std::optional<std::string> handleUnit(std::string_view unit, std::chrono::milliseconds& due);
    std::optional<std::string> fail(int code);
    std::string popError();
    bool faulty() const;

    AnalyzerModel& model_;
    std::chrono::milliseconds sweepTime_;
    Clock clock_;
    std::array<double, MarkerCount> markerHz_ {};
    bool continuous_ = true;
    std::chrono::milliseconds sweepDone_ {};
    std::deque<int> errors_;
    AnalyzerFault fault_;
    int readings_ = 0;
};

} // namespace sim
