#pragma once

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

// What every benchmark shares: timing, the median, and the rows of the table
// that scripts/bench prints. Rows go to standard output, tab-separated:
// figure, value, goal, met. Everything else a benchmark says goes to
// standard error, so that it never mixes into the table.
namespace bench {

using Clock = std::chrono::steady_clock;

inline double microsecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

// The median, robust against the odd run that the scheduler delayed.
inline double median(std::vector<double> samples)
{
    const auto middle = samples.begin() + static_cast<std::ptrdiff_t>(samples.size() / 2);
    std::nth_element(samples.begin(), middle, samples.end());
    return *middle;
}

inline std::string fixed(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

inline const char* yesNo(bool met)
{
    return met ? "yes" : "no";
}

// A figure that is shown for comparison only has no goal: "-" in both columns.
inline void report(
    const std::string& figure, const std::string& value, const std::string& goal = "-", const char* met = "-")
{
    std::printf("%s\t%s\t%s\t%s\n", figure.c_str(), value.c_str(), goal.c_str(), met);
    std::fflush(stdout);
}

// Ends a benchmark that could not measure what it set out to.
[[noreturn]] inline void fail(const std::string& why)
{
    std::fprintf(stderr, "benchmark failed: %s\n", why.c_str());
    std::exit(1);
}

} // namespace bench
