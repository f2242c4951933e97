// What the follower makes of others' messages: the values it has the panel
// show at once, and what it has read back once they are quiet.

#include <QCoreApplication>
#include <gtest/gtest.h>

#include "SettingsFollower.h"
#include "EventLoop.h"
#include "ScriptedBridge.h"

using session::InstrumentSession;
using session::SettingsFollower;
using instrument::SettingId;

namespace {

struct Following {
    const char* name;
    std::vector<std::string> lines; // sent by a client, or by the panel where they start with "panel:"
    std::vector<std::string> shown; // "setting row=value"
    std::string readBack; // the rows read back, "all", or "" for none
};

void PrintTo(const Following& following, std::ostream* out)
{
    *out << following.name;
}

// A thousand steps of one setting cost one query at their end.
Following sweep()
{
    Following following { "ASweepIsMirroredStepByStepAndReadBackOnce", {}, {}, "9" };
    for (int value = -500; value < 500; ++value) {
        following.lines.push_back(":MOD:IOFF " + std::to_string(value));
        following.shown.push_back("9=" + std::to_string(value));
    }
    return following;
}

const Following Followings[] = {
    { "ShortFormIsMirroredAndReadBack", { ":BAS:IOFF 12" }, { "2=12" }, "2" },
    { "LongFormAnyCaseWithoutColon", { "modulator:iattenuator 41", "Bas:Swap 1" }, { "5=41", "0=1" }, "0 5" },
    { "OutOfRangeOrNotANumberIsOnlyReadBack", { ":MOD:IATT 500", ":MOD:QATT ON" }, {}, "5 6" },
    { "QueriesAndHarmlessMessagesChangeNothing",
        { ":MOD:IATT?", "*idn?", "SYSTEM:ERROR?", ":SYST:REFL?", "SYST:SAVE 3", "*CLS", "SYST:CLE", " " }, {}, "" },
    { "ResetReadsEverythingBack", { ":BAS:IOFF 3", "*RST" }, { "2=3" }, "all" },
    { "RecallReadsEverythingBack", { "SYSTem:RECall 2" }, {}, "all" },
    { "AnUnknownMessageReadsEverythingBack", { ":OUTP ON" }, {}, "all" },
    { "AnUnknownQueryReadsEverythingBack", { ":OUTP?" }, {}, "all" },
    { "SeveralMessagesInOneLineReadEverythingBack", { ":BAS:IOFF 1;*RST" }, {}, "all" },
    { "ThePanelsOwnMessagesAreNotFollowed", { "panel:*RST", "panel::BAS:IOFF 4" }, {}, "" },
    sweep(),
};

class SettingsFollowing : public testing::TestWithParam<Following> {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = { name, nullptr };
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }
};

TEST_P(SettingsFollowing, MirrorsAtOnceAndReadsBackWhenQuiet)
{
    test_support::ScriptedBridge bridge;
    bridge.devices = { { "R6140K", "S1" } };
    InstrumentSession session(bridge, [] {});
    session.open(0);
    std::vector<std::string> shown;
    std::vector<std::string> readBacks;
    SettingsFollower follower(session,
        { .show = [&](SettingId id, int16_t value) {
             shown.push_back(std::to_string(instrument::indexOf(id)) + "=" + std::to_string(value));
         },
            .readBack =
                [&](const std::vector<SettingId>& settings) {
                    std::string rows;
                    for (const SettingId id : settings)
                        rows += (rows.empty() ? "" : " ") + std::to_string(instrument::indexOf(id));
                    readBacks.push_back(rows);
                },
            .readBackAll = [&] { readBacks.push_back("all"); } },
        std::chrono::milliseconds(0));

    for (const std::string& line : GetParam().lines) {
        const bool byPanel = line.starts_with("panel:");
        const std::string message = byPanel ? line.substr(6) : line;
        session.enqueue([&session, message] { session.send(message); },
            byPanel ? InstrumentSession::PanelOrigin : "127.0.0.1:50000");
    }
    EXPECT_EQ(shown, GetParam().shown);
    const std::vector<std::string> expected
        = GetParam().readBack.empty() ? std::vector<std::string> {} : std::vector<std::string> { GetParam().readBack };
    ASSERT_TRUE(test_support::pumpUntil([&] { return !follower.pending(); }));
    EXPECT_EQ(readBacks, expected);
}

INSTANTIATE_TEST_SUITE_P(Messages, SettingsFollowing, testing::ValuesIn(Followings),
    [](const testing::TestParamInfo<Following>& info) { return std::string(info.param.name); });

} // namespace
