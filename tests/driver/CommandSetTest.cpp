#include <cctype>
#include <gtest/gtest.h>

#include "CommandSet.h"
#include "Settings.h"

namespace commands = usblink::commands;
using usblink::SettingId;
using usblink::settingOf;

TEST(CommandSet, FormsDecimalArgumentsWithoutPaddingOrPlus)
{
    EXPECT_EQ(commands::withArgument(settingOf(SettingId::BasebandIOffset).prefix, -32768), ":BAS:IOFF -32768");
    EXPECT_EQ(commands::withArgument(settingOf(SettingId::BasebandIOffset).prefix, 0), ":BAS:IOFF 0");
    EXPECT_EQ(commands::withArgument(settingOf(SettingId::ModulatorIAttenuator).prefix, 127), ":MOD:IATT 127");
    EXPECT_EQ(commands::withArgument(commands::SaveStatePrefix, 3), "SYST:SAVE 3");
}

// The read-back's order is the settings table's; every test list of the
// read-back derives from the table, so the table itself is checked here.
TEST(CommandSet, SettingsAreReadBackInTheInstrumentsOrderWithMatchingMessages)
{
    struct Expected {
        std::string header;
        int min, max;
    };
    const Expected expected[] = { { ":BAS:SWAP", 0, 1 }, { ":BAS:ZINP", 0, 1 }, { ":BAS:IOFF", -32768, 32767 },
        { ":BAS:QOFF", -32768, 32767 }, { ":MOD:ZINP", 0, 1 }, { ":MOD:IATT", 0, 127 }, { ":MOD:QATT", 0, 127 },
        { ":MOD:IINP", -32768, 32767 }, { ":MOD:QINP", -32768, 32767 }, { ":MOD:IOFF", -32768, 32767 },
        { ":MOD:QOFF", -32768, 32767 } };
    ASSERT_EQ(std::size(expected), usblink::Settings.size());
    for (std::size_t i = 0; i < usblink::Settings.size(); ++i) {
        const usblink::Setting& setting = usblink::Settings[i];
        SCOPED_TRACE(setting.mnemonic);
        EXPECT_EQ(setting.query, expected[i].header + "?");
        EXPECT_EQ(setting.prefix, expected[i].header + " ");
        std::string shortForm = ":";
        for (const char* c = setting.mnemonic; *c; ++c)
            if (!std::islower(static_cast<unsigned char>(*c)))
                shortForm += *c;
        EXPECT_EQ(shortForm, expected[i].header);
        EXPECT_EQ(usblink::rangeOf(setting.kind).min, expected[i].min);
        EXPECT_EQ(usblink::rangeOf(setting.kind).max, expected[i].max);
    }
}

TEST(CommandSet, ConvertsIntegerRepliesInSixteenBitRange)
{
    EXPECT_EQ(commands::toInteger("1"), 1);
    EXPECT_EQ(commands::toInteger(" -32768 "), -32768);
    EXPECT_EQ(commands::toInteger("+32767"), 32767);
    EXPECT_EQ(commands::toInteger("0"), 0);
}

TEST(CommandSet, RefusesRepliesThatAreNotAnInteger)
{
    for (const char* reply : { "READ TIMEOUT", "READ ERROR", "abc", "", "  ", "99999", "-32769", "1.5", "1 2", "+-3",
             "+", "-", "12abc", "99999999999999999999" })
        EXPECT_FALSE(commands::toInteger(reply).has_value()) << reply;
}

TEST(CommandSet, TellsQueriesByTheQuestionMarkEndingTheirHeader)
{
    for (const char* query : { "*IDN?", ":MOD:IATT?", "  :syst:err? ", "\t:SYST:ERR:NEXT?\t", "X? 1" })
        EXPECT_TRUE(commands::isQuery(query)) << query;
    for (const char* other : { ":MOD:IATT 5", "*RST", "", "  ", "X 1?", "?X" })
        EXPECT_FALSE(commands::isQuery(other)) << other;
}
