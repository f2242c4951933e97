#include <gtest/gtest.h>

#include "TimerModule.h"

namespace {

// A clock that moves on by a fixed step at every reading, wrapping at midnight.
struct SteppingClock {
    double now;
    double step;
    int readings = 0;
    double operator()()
    {
        ++readings;
        const double reading = now;
        now += step;
        if (now >= TimerModule::SecondsPerDay)
            now -= TimerModule::SecondsPerDay;
        return reading;
    }
};

struct DelayRun {
    int pumps = 0;
    double endedAt = 0;
};

DelayRun delay(float seconds, double start, double step)
{
    SteppingClock clock { start, step };
    DelayRun run;
    TimerModule::Delay(seconds, std::ref(clock), [&run] { ++run.pumps; });
    run.endedAt = clock.now;
    return run;
}

TEST(Delay, EndsOnceTheClockHasReachedTheEnd)
{
    const DelayRun run = delay(0.5f, 1000.0, 0.01);
    EXPECT_NEAR(run.endedAt, 1000.5, 0.05);
    EXPECT_GT(run.pumps, 10);
}

TEST(Delay, WaitsAcrossMidnightUntilTheClockPassesTheRemainder)
{
    const DelayRun run = delay(0.5f, 86399.8, 0.001);
    // The start is held as a 32-bit float, so the end is 0.3 s within its precision.
    EXPECT_NEAR(run.endedAt, 0.3, 0.01);
}

TEST(Delay, EndsAtTheNextPassWhenMidnightFollowsTheEnd)
{
    // The end lay before midnight but the clock jumped past it.
    const DelayRun run = delay(0.5f, 86399.0, 0.6);
    EXPECT_LE(run.pumps, 2);
}

TEST(Delay, ProcessesEventsOnceForNoWait)
{
    EXPECT_EQ(delay(0.0f, 500.0, 0.001).pumps, 1);
    EXPECT_EQ(delay(-1.0f, 500.0, 0.001).pumps, 1);
}

} // namespace
