#include <gtest/gtest.h>

#include "link/CommandSet.h"

namespace commands = usblink::commands;

TEST(CommandSet, FormsDecimalArgumentsWithoutPaddingOrPlus)
{
    EXPECT_EQ(commands::withArgument(commands::BasebandIOffset.prefix, -32768), ":BAS:IOFF -32768");
    EXPECT_EQ(commands::withArgument(commands::BasebandIOffset.prefix, 0), ":BAS:IOFF 0");
    EXPECT_EQ(commands::withArgument(commands::ModulatorIAttenuator.prefix, 127), ":MOD:IATT 127");
    EXPECT_EQ(commands::withArgument(commands::SaveStatePrefix, 3), "SYST:SAVE 3");
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
