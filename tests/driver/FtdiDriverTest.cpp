#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "FTDI_Driver.h"
#include "ScriptedBridge.h"

using test_support::ScriptedBridge;
using testing::ElementsAre;
using usblink::FTDI_Driver;

namespace {

// The driver over a scripted library; every event pump lands in the same
// call log, so tests see where events are processed between library calls.
struct DriverFixture : testing::Test {
    ScriptedBridge bridge;
    FTDI_Driver driver { bridge, [this] { bridge.calls.push_back("pump"); } };
};

using TrimToPrintable = testing::Test;
using EnumerateDevices = DriverFixture;
using OpenDevice = DriverFixture;
using SendCommand = DriverFixture;
using PurgeInput = DriverFixture;
using ReadResponse = DriverFixture;
using CloseDevice = DriverFixture;

TEST(TrimToPrintable, CutsOnlyAfterTheLastPrintableCharacter)
{
    EXPECT_EQ(FTDI_Driver::TrimToPrintable("1\r\n"), "1");
    EXPECT_EQ(FTDI_Driver::TrimToPrintable("  A B "), "  A B");
    EXPECT_EQ(FTDI_Driver::TrimToPrintable("~"), "~");
    EXPECT_EQ(FTDI_Driver::TrimToPrintable("A\x7F"), "A");
    EXPECT_EQ(FTDI_Driver::TrimToPrintable(std::string("A\0   ", 5)), "A");
    EXPECT_EQ(FTDI_Driver::TrimToPrintable("A\x80\xFF"), "A");
    EXPECT_EQ(FTDI_Driver::TrimToPrintable("\r\nA\tB"), "\r\nA\tB");
}

TEST(TrimToPrintable, GivesTheEmptyTextWhenNothingIsPrintable)
{
    EXPECT_EQ(FTDI_Driver::TrimToPrintable("  \r\n "), "");
    EXPECT_EQ(FTDI_Driver::TrimToPrintable(""), "");
}

TEST_F(EnumerateDevices, ListsEntriesInIndexOrderWithTrailingBlanksTrimmed)
{
    bridge.devices = { { "R6140K Unit  ", "A1" }, { "Other", "" } };
    EXPECT_THAT(driver.EnumerateDevices(), ElementsAre("R6140K Unit A1", "Other "));
    EXPECT_THAT(bridge.calls,
        ElementsAre("pump", "FT_ListDevices count", "pump", "FT_ListDevices description 0", "FT_ListDevices serial 0",
            "pump", "FT_ListDevices description 1", "FT_ListDevices serial 1"));
}

TEST_F(EnumerateDevices, GivesNoListWithoutDevicesOrOnAnyFailingCall)
{
    EXPECT_TRUE(driver.EnumerateDevices().empty());

    bridge.devices = { { "R6140K", "A1" }, { "R6140K", "A2" } };
    for (const char* call : { "FT_ListDevices count", "FT_ListDevices description 0", "FT_ListDevices serial 1" }) {
        bridge.failing = { { call, usblink::FT_IO_ERROR } };
        EXPECT_TRUE(driver.EnumerateDevices().empty()) << call;
    }
}

TEST_F(EnumerateDevices, StopsAtOneHundredAndOneDevices)
{
    bridge.devices.assign(150, { "R6140K", "S" });
    EXPECT_EQ(driver.EnumerateDevices().size(), FTDI_Driver::MaxDevices);
}

TEST_F(OpenDevice, AppliesTheLineSettingsInOrderAndReturnsTheHandle)
{
    EXPECT_EQ(driver.OpenDevice(1), 7);
    EXPECT_THAT(bridge.calls,
        ElementsAre("pump", "FT_Open 1", "FT_SetBaudRate 7 57600", "FT_SetDataCharacteristics 7 8 0 0",
            "FT_SetFlowControl 7 0 0 0", "FT_SetTimeouts 7 5000 0", "pump"));
}

TEST_F(OpenDevice, StopsAtTheFirstFailingStepWithMinusOne)
{
    bridge.failing = { { "FT_Open", usblink::FT_DEVICE_NOT_FOUND } };
    EXPECT_EQ(driver.OpenDevice(0), -1);
    EXPECT_THAT(bridge.calls, ElementsAre("pump", "FT_Open 0"));

    bridge.calls.clear();
    bridge.failing = { { "FT_SetTimeouts", usblink::FT_OTHER_ERROR } };
    EXPECT_EQ(driver.OpenDevice(0), -1);
    EXPECT_EQ(bridge.calls.back(), "FT_SetTimeouts 7 5000 0");
}

TEST_F(SendCommand, WritesTheCommandAndCrLfOnlyThenProcessesEvents)
{
    EXPECT_EQ(driver.SendCommand(7, " "), 0);
    EXPECT_EQ(driver.SendCommand(7, "*IDN?"), 0);
    EXPECT_EQ(driver.SendCommand(7, ""), 0);
    EXPECT_THAT(
        bridge.calls, ElementsAre("FT_Write  \r\n", "pump", "FT_Write *IDN?\r\n", "pump", "FT_Write \r\n", "pump"));
}

TEST_F(SendCommand, SendsTheLongestCommandWholeAndRefusesALongerOne)
{
    const std::string longest(FTDI_Driver::CommandBufferSize - 2, 'A');
    EXPECT_EQ(driver.SendCommand(7, longest), 0);
    EXPECT_EQ(driver.SendCommand(7, longest + "B"), -1);
    EXPECT_THAT(bridge.writes(), ElementsAre(longest + "\r\n"));
}

TEST_F(SendCommand, ReportsAFailedWriteAndLeavesTheCallersTextAlone)
{
    const std::string command = ":MOD:IATT 40";
    EXPECT_EQ(driver.SendCommand(-1, command), -1);
    EXPECT_EQ(command, ":MOD:IATT 40");
}

TEST_F(PurgeInput, PurgesReceiveOnlyWithoutProcessingEventsAndReportsTheStatus)
{
    EXPECT_EQ(driver.PurgeInput(7), 0);
    EXPECT_EQ(driver.PurgeInput(-1), -1);
    EXPECT_THAT(bridge.calls, ElementsAre("FT_Purge 1", "FT_Purge 1"));
}

TEST_F(ReadResponse, ReadsOneByteAtATimeUpToTheLineEnd)
{
    bridge.receive("1\r\n2\n");
    EXPECT_EQ(driver.ReadResponse(7), "1");
    EXPECT_EQ(bridge.callsNamed("FT_Read ").size(), 3u);
    EXPECT_EQ(driver.ReadResponse(7), "2");
    EXPECT_TRUE(bridge.reads.empty());
}

TEST_F(ReadResponse, ProcessesEventsBeforeEveryRead)
{
    bridge.receive("A\n");
    driver.ReadResponse(7);
    EXPECT_THAT(bridge.calls, ElementsAre("pump", "FT_Read 1", "pump", "FT_Read 1"));
}

TEST_F(ReadResponse, GivesTheEmptyTextForALoneLineFeed)
{
    bridge.receive("\n");
    EXPECT_EQ(driver.ReadResponse(7), "");
}

TEST_F(ReadResponse, DropsAPartialLineOnTimeOut)
{
    bridge.receive("12");
    EXPECT_EQ(driver.ReadResponse(7), "READ TIMEOUT");
}

TEST_F(ReadResponse, TakesStatusFourAsSuccess)
{
    bridge.receive("5", usblink::FT_IO_ERROR);
    bridge.receive("\n");
    EXPECT_EQ(driver.ReadResponse(7), "5");

    bridge.reads.push_back({ usblink::FT_IO_ERROR, std::nullopt });
    EXPECT_EQ(driver.ReadResponse(7), "READ TIMEOUT");
}

TEST_F(ReadResponse, GivesReadErrorOnAFailingReadEvenAfterEarlierBytes)
{
    bridge.receive("12");
    bridge.reads.push_back({ usblink::FT_OTHER_ERROR, std::nullopt });
    EXPECT_EQ(driver.ReadResponse(7), "READ ERROR");
    EXPECT_EQ(driver.ReadResponse(-1), "READ ERROR");
}

TEST_F(ReadResponse, CapsALineThatNeverEnds)
{
    bridge.receive(std::string(FTDI_Driver::MaxReplyLength - 1, 'x') + "\n");
    EXPECT_EQ(driver.ReadResponse(7).size(), FTDI_Driver::MaxReplyLength - 1);

    bridge.receive(std::string(FTDI_Driver::MaxReplyLength + 10, 'y'));
    EXPECT_EQ(driver.ReadResponse(7), "READ ERROR");
    EXPECT_EQ(bridge.reads.size(), 10u) << "reading stops at the cap";
}

// Each byte just inside the per-byte time-out: the reply is given up at its
// deadline instead of holding the line for as long as it drips.
TEST_F(ReadResponse, GivesUpOnAReplyThatDripsInPastItsDeadline)
{
    std::chrono::milliseconds now {};
    FTDI_Driver dripping(bridge, [&now] { now += std::chrono::milliseconds(4900); }, [&now] { return now; });
    bridge.receive("0123456789\n");
    EXPECT_EQ(dripping.ReadResponse(7), "READ TIMEOUT");
    EXPECT_EQ(bridge.reads.size(), 7u) << "the fourth byte came 19.6 s after the query";
}

TEST_F(CloseDevice, ReportsTheLibrarysStatusWithoutProcessingEvents)
{
    EXPECT_EQ(driver.CloseDevice(7), 0);
    EXPECT_EQ(driver.CloseDevice(-1), -1);
    EXPECT_THAT(bridge.calls, ElementsAre("FT_Close 7", "FT_Close -1"));
}

} // namespace
