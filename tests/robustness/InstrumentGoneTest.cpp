// The instrument goes away in the middle of a session on the serial backend:
// the other side of its pseudo-terminal closes while the panel awaits a
// reply. Every reply due from then on reads READ ERROR, at once rather than
// after the per-query time-out, and Quit still ends the run normally.

#include <chrono>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "SerialBridge.h"
#include "PanelSession.h"
#include "VanishingInstrument.h"

using namespace test_support;
using usblink::FTDI_Driver;

namespace {

struct Vanishing {
    const char* name;
    std::size_t repliesBeforeGone;
    Phase goneIn;
};

void PrintTo(const Vanishing& moment, std::ostream* out)
{
    *out << moment.name;
}

// Start-up is answered 13 times (identification, 11 settings, reference
// lock), a reset's read-back 12 times.
const Vanishing Moments[] = {
    { "BeforeIdentifying", 0, Phase::StartUp },
    { "AtTheFirstSetting", 1, Phase::StartUp },
    { "MidReadBack", 6, Phase::StartUp },
    { "AtTheReferenceLock", 12, Phase::StartUp },
    { "MidResetReadBack", 18, Phase::Reset },
};

class InstrumentGone : public testing::TestWithParam<Vanishing> {
protected:
    InstrumentGone()
    {
        panel.atEventPoint = [this] { noteEventPoint(); };
    }

    void noteEventPoint()
    {
        const auto now = std::chrono::steady_clock::now();
        if (lastEventPoint)
            longestWithoutEvents = std::max(longestWithoutEvents, now - *lastEventPoint);
        lastEventPoint = now;
    }

    VanishingInstrument instrument { GetParam().repliesBeforeGone };
    usblink::SerialBridge serial { { instrument.path() } };
    PanelHarness panel { serial };
    PanelSession session { panel };
    std::optional<std::chrono::steady_clock::time_point> lastEventPoint;
    std::chrono::steady_clock::duration longestWithoutEvents {};
};

TEST_P(InstrumentGone, RepliesDueReadErrorAtOnceAndQuitStillEndsTheRun)
{
    session.run();
    ASSERT_TRUE(instrument.gone());

    const std::string readError = FTDI_Driver::ReadError;
    const std::string& identity = session.after(Phase::StartUp).idn;
    if (GetParam().repliesBeforeGone == 0) {
        EXPECT_EQ(identity, IdnCaption + readError);
    } else {
        EXPECT_THAT(identity, testing::StartsWith(IdnCaption + "R6140K Simulator,"));
    }
    for (Phase phase : SessionPhases) {
        const Shown& shown = session.after(phase);
        const std::string referenceLock = phase >= GetParam().goneIn ? readError : "1";
        EXPECT_EQ(shown.refLock, RefLockCaption + referenceLock) << phaseName(phase);
        EXPECT_EQ(shown.sendEnabled, -1) << phaseName(phase);
    }
    EXPECT_EQ(session.after(Phase::ErrorQuery).messageBox, readError);
    // The panel went on handling events: no call sat out the 5 s a reply
    // may take, which a line taken for silent rather than gone would cost.
    EXPECT_LT(longestWithoutEvents, std::chrono::milliseconds(FTDI_Driver::ReadTimeoutMs / 2));

    session.quit();
    EXPECT_EQ(panel.endStatus, 0);
    EXPECT_THAT(panel.story, testing::ContainsRegex(ClosedOnce));
}

INSTANTIATE_TEST_SUITE_P(Moments, InstrumentGone, testing::ValuesIn(Moments),
    [](const testing::TestParamInfo<Vanishing>& info) { return std::string(info.param.name); });

} // namespace
