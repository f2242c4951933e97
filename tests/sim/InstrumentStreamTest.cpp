#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Version.h"
#include "Instrument.h"

namespace {

using sim::Instrument;
using ::testing::ElementsAre;
using ::testing::Optional;

TEST(SimInstrumentStream, LinesEndWithLfOrCrLfAndRepliesWithCrLf)
{
    Instrument instrument;
    EXPECT_EQ(instrument.receive(":BAS:IOFF 5\n:BAS:IOFF?\n"), "5\r\n");
    EXPECT_EQ(instrument.receive(":BAS:IOFF -6\r\n:BAS:IOFF?\r\n"), "-6\r\n");
    EXPECT_EQ(instrument.errorCount(), 0u);
}

TEST(SimInstrumentStream, LinesSplitAnywhereAreReassembled)
{
    const std::string stream = ":MOD:IATT 40\r\n:MOD:IATT?\r\n*IDN?\n";
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        SCOPED_TRACE(cut);
        Instrument instrument;
        std::string replies = instrument.receive(stream.substr(0, cut));
        replies += instrument.receive(stream.substr(cut));
        EXPECT_EQ(replies, "40\r\nR6140K Simulator,R6140K,SIM00001," + std::string(app::VersionText) + "\r\n");
    }
}

TEST(SimInstrumentStream, ByteByByteInputGivesTheSameReplies)
{
    Instrument instrument;
    std::string replies;
    for (const char byte : std::string(":BAS:SWAP 1\r\n\r\n:BAS:SWAP?\r\nSYST:ERR?\n"))
        replies += instrument.receive(std::string(1, byte));
    EXPECT_EQ(replies, "1\r\n0,\"No error\"\r\n");
}

TEST(SimInstrumentStream, BlankLinesAndSettingsGiveNoReply)
{
    Instrument instrument;
    EXPECT_EQ(instrument.receive("\n\r\n  \r\n:BAS:SWAP 1\r\n\t\n"), "");
    EXPECT_EQ(instrument.errorCount(), 0u);
}

TEST(SimInstrumentStream, AnUnterminatedLineWaitsForItsEnd)
{
    Instrument instrument;
    EXPECT_EQ(instrument.receive(":BAS:IOFF?"), "");
    EXPECT_EQ(instrument.receive("\r"), "");
    EXPECT_EQ(instrument.receive("\n"), "0\r\n");
}

TEST(SimInstrumentStream, ObserverSeesEveryLineInOrderWithoutTerminator)
{
    Instrument instrument;
    std::vector<std::string> lines;
    instrument.setLineObserver([&lines](std::string_view line) { lines.emplace_back(line); });
    instrument.receive(":BAS:IOFF 5\r\n\r\nBOG");
    instrument.receive("US\n:BAS:IOFF?\r\n");
    EXPECT_THAT(lines, ElementsAre(":BAS:IOFF 5", "", "BOGUS", ":BAS:IOFF?"));
}

TEST(SimInstrumentStream, AnOverlongLineIsDroppedWithOneErrorAndTheNextLineWorks)
{
    Instrument instrument;
    const std::string longArgument(Instrument::MaxLineLength, '1');
    EXPECT_EQ(instrument.receive(":BAS:IOFF " + longArgument.substr(0, 3000)), "");
    EXPECT_EQ(instrument.receive(longArgument), "");
    EXPECT_EQ(instrument.receive(longArgument + "\r\n:BAS:IOFF?\r\n"), "0\r\n");
    EXPECT_THAT(instrument.value(":BAS:IOFF"), Optional(0));
    EXPECT_EQ(instrument.receive("SYST:ERR?\n"), "-363,\"Input buffer overrun\"\r\n");
    EXPECT_EQ(instrument.errorCount(), 0u);
}

TEST(SimInstrumentStream, ALineAtTheLengthLimitIsStillInterpreted)
{
    Instrument instrument;
    const std::string header = ":BAS:IOFF ";
    const std::string line = header + std::string(Instrument::MaxLineLength - header.size() - 2, ' ') + "9";
    ASSERT_EQ(line.size() + 1, Instrument::MaxLineLength);
    EXPECT_EQ(instrument.receive(line + "\r\n"), "");
    EXPECT_THAT(instrument.value(":BAS:IOFF"), Optional(9));
}

} // namespace
