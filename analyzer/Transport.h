#pragma once

#include <chrono>
#include <cstddef>
#include <string>

// How the analyzer's lines travel: raw SCPI on a socket, or VXI-11.
namespace analyzer {

// A line or why there is none.
struct LineResult {
    std::string text;
    std::string problem; // empty when the line came
};

// Whole lines each way, without terminators. Every call ends by its
// time-out; events are processed while it waits.
class Transport {
public:
    virtual ~Transport() = default;
    // Empty when connected, else why not.
    virtual std::string connect(std::chrono::milliseconds timeout) = 0;
    // Empty when the line left, else why not.
    virtual std::string writeLine(const std::string& line, std::chrono::milliseconds timeout) = 0;
    virtual LineResult readLine(std::chrono::milliseconds timeout) = 0;
    // Ends the wait under way, which answers as aborted.
    virtual void abortWait() = 0;
};

inline constexpr const char* Aborted = "aborted";

// A reply longer than this is garbage, not a reading.
inline constexpr std::size_t MaxLineBytes = 64 * 1024;
inline constexpr const char* OverlongLine = "a line longer than 64 KiB";

inline std::string millisecondsText(std::chrono::milliseconds t)
{
    return std::to_string(t.count()) + " ms";
}

} // namespace analyzer
