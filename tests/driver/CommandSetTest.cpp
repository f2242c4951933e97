#include <cctype>
#include <tuple>
#include <gtest/gtest.h>

#include "CommandSet.h"
#include "DeviceFilter.h"
#include "MessageSyntax.h"
#include "Settings.h"

namespace commands = instrument::commands;
using instrument::SettingId;
using instrument::settingOf;

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
    ASSERT_EQ(std::size(expected), instrument::Settings.size());
    for (std::size_t i = 0; i < instrument::Settings.size(); ++i) {
        const instrument::Setting& setting = instrument::Settings[i];
        SCOPED_TRACE(setting.mnemonic);
        EXPECT_EQ(setting.query, expected[i].header + "?");
        EXPECT_EQ(setting.prefix, expected[i].header + " ");
        std::string shortForm = ":";
        for (const char* c = setting.mnemonic; *c; ++c)
            if (!std::islower(static_cast<unsigned char>(*c)))
                shortForm += *c;
        EXPECT_EQ(shortForm, expected[i].header);
        EXPECT_EQ(instrument::rangeOf(setting.kind).min, expected[i].min);
        EXPECT_EQ(instrument::rangeOf(setting.kind).max, expected[i].max);
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

// The one rule for what the instrument answers: a message expects a reply
// when any of its ';'-separated units has a header ending in '?'. A ';' or
// '?' inside a quoted string or an arbitrary block is data.
TEST(DeviceFilter, ASerialNumberNamesOnlyTheInstrumentThatEndsWithIt)
{
    const std::tuple<const char*, const char*, bool> Entries[] = { { "R6140K A50285BI", "A50285BI", true },
        { "R6140K A50285BI", "B1", false }, { "R6140K XA1", "A1", false }, { "FT232R USB UART A1", "A1", false } };
    for (const auto& [entry, serial, named] : Entries)
        EXPECT_EQ(instrument::isInstrumentWithSerialNumber(entry, serial), named) << entry << " / " << serial;
}

TEST(MessageSyntax, TellsWhichMessagesExpectAReply)
{
    const std::pair<const char*, bool> messages[] = {
        { "*IDN?", true },
        { ":MOD:IATT?", true },
        { "  :syst:err? ", true },
        { "\t:SYST:ERR:NEXT?\t", true },
        { "X? 1", true },
        { ":MOD:IATT 5", false },
        { "*RST", false },
        { "", false },
        { "  ", false },
        { "X 1?", false },
        { ":MOD:IATT 9?", false },
        { "?X", false },
        { ":MOD:IATT 8;:MOD:IATT?", true },
        { "*RST;*IDN?", true },
        { "A;;B", false },
        { ":DISP:TEXT \"a;b?\"", false },
        { ":DISP:TEXT 'it''s;*IDN?'", false },
        { ":DISP:TEXT \"say \"\"x\"\";*IDN?\"", false },
        { ":DISP:TEXT \"open;*IDN?", false },
        { ":DATA #15ab;?c", false },
        { ":DATA #15ab;?c;*IDN?", true },
        { ":DATA #0;*IDN?", false },
        { ":DATA #H1F;*IDN?", true },
        { ":DATA #9;*IDN?", true },
    };
    for (const auto& [message, expected] : messages)
        EXPECT_EQ(instrument::expectsReply(message), expected) << message;
}
