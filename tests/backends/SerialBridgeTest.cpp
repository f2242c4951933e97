#include "SerialBridge.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLockFile>
#include <QThread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <fstream>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "BackendTestSupport.h"
#include "PseudoTerminal.h"

using namespace usblink;
using namespace backends_test;
using test_support::PseudoTerminal;
using ::testing::HasSubstr;

namespace {

// Where programs that open serial ports (Qt, minicom) keep their lock files.
constexpr const char* UucpLocks = "/var/lock";

class SerialBridgeOverPty : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ensureQtApplication(); }

    // Opens the pty as the driver does, with the given read time-out.
    void openWithLineSettings(uint32_t readTimeoutMs)
    {
        ASSERT_EQ(FT_OK, bridge.FT_Open(static_cast<int32_t>(listCount(bridge) - 1), &handle));
        ASSERT_EQ(FT_OK, bridge.FT_SetBaudRate(handle, 57600));
        ASSERT_EQ(FT_OK, bridge.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE));
        ASSERT_EQ(FT_OK, bridge.FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0));
        ASSERT_EQ(FT_OK, bridge.FT_SetTimeouts(handle, readTimeoutMs, 0));
    }

    // One FT_Read of one byte; the byte, or "" if none came.
    std::string readByte(FT_STATUS expected = FT_OK)
    {
        char byte = 0;
        uint32_t received = 99;
        EXPECT_EQ(expected, bridge.FT_Read(handle, &byte, 1, &received));
        EXPECT_LE(received, 1u);
        return std::string(&byte, received == 1 ? 1 : 0);
    }

    PseudoTerminal pty;
    SerialBridge bridge { { pty.path() } };
    DeviceHandle handle = 0;
};

TEST_F(SerialBridgeOverPty, ListsTheExtraPortLastWithItsPathAsSerialNumber)
{
    const uint32_t count = listCount(bridge);
    ASSERT_GE(count, 1u);
    const ListText description = listText(bridge, count - 1, FT_OPEN_BY_DESCRIPTION);
    const ListText serial = listText(bridge, count - 1, FT_OPEN_BY_SERIAL_NUMBER);
    EXPECT_EQ(FT_OK, description.status);
    EXPECT_EQ("R6140K", description.text);
    EXPECT_EQ(FT_OK, serial.status);
    EXPECT_EQ(pty.path(), serial.text);

    EXPECT_EQ(FT_DEVICE_NOT_FOUND, listText(bridge, count, FT_OPEN_BY_DESCRIPTION).status);
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, listText(bridge, count, FT_OPEN_BY_SERIAL_NUMBER).status);
    DeviceHandle unused = 0;
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, bridge.FT_Open(static_cast<int32_t>(count), &unused));
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, bridge.FT_Open(-1, &unused));
}

TEST(SerialBridgeListing, KeepsExtraPortsInOrderAndCutsLongTextsToTheBuffer)
{
    ensureQtApplication();
    const std::string longPath = "/dev/" + std::string(300, 'x');
    SerialBridge bridge({ "/dev/first", longPath });
    const uint32_t count = listCount(bridge);
    ASSERT_GE(count, 2u);
    EXPECT_EQ("/dev/first", listText(bridge, count - 2, FT_OPEN_BY_SERIAL_NUMBER).text);
    const ListText cut = listText(bridge, count - 1, FT_OPEN_BY_SERIAL_NUMBER);
    EXPECT_EQ(FT_OK, cut.status);
    EXPECT_EQ(longPath.substr(0, 255), cut.text);
}

TEST_F(SerialBridgeOverPty, OpenAppliesBaudRateEightNOneAndNoFlowControl)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(50));
    const termios line = pty.settings();
    EXPECT_EQ(B57600, cfgetospeed(&line));
    EXPECT_EQ(B57600, cfgetispeed(&line));
    EXPECT_EQ(tcflag_t { CS8 }, line.c_cflag & CSIZE);
    EXPECT_EQ(0u, line.c_cflag & (PARENB | CSTOPB | CRTSCTS));
    EXPECT_EQ(0u, line.c_iflag & (IXON | IXOFF));
}

TEST_F(SerialBridgeOverPty, RejectsLineSettingsItCannotApply)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(50));
    EXPECT_EQ(FT_INVALID_PARAMETER, bridge.FT_SetDataCharacteristics(handle, 5, 0, 0));
    EXPECT_EQ(FT_INVALID_PARAMETER, bridge.FT_SetDataCharacteristics(handle, 8, 1, 0));
    EXPECT_EQ(FT_INVALID_PARAMETER, bridge.FT_SetDataCharacteristics(handle, 8, 0, 9));
    EXPECT_EQ(FT_INVALID_PARAMETER, bridge.FT_SetFlowControl(handle, 0x0200, 0, 0));
}

TEST_F(SerialBridgeOverPty, WrittenBytesArriveAtTheInstrument)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(50));
    const std::string command = "*IDN?\r\n";
    uint32_t written = 0;
    ASSERT_EQ(FT_OK, bridge.FT_Write(handle, command.data(), command.size(), &written));
    EXPECT_EQ(command.size(), written);
    EXPECT_EQ(command, pty.receive(command.size(), 2000));
}

TEST_F(SerialBridgeOverPty, BufferedRepliesComeBackByteByByteWithoutWaiting)
{
    // A long time-out: a read that waited for new data over buffered bytes
    // would come back empty only after it.
    const uint32_t timeoutMs = 3000;
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(timeoutMs));
    const std::string replies = "R6140K,SN42\r\nFREQ 2.45E9\r\n";
    pty.send(replies);

    QElapsedTimer clock;
    clock.start();
    std::string got;
    for (std::size_t i = 0; i < replies.size(); ++i)
        got += readByte();
    EXPECT_EQ(replies, got);
    EXPECT_LT(clock.elapsed(), timeoutMs / 2);
}

TEST_F(SerialBridgeOverPty, ReadOfNothingTimesOutWithNoBytesAndLeavesThePortUsable)
{
    const uint32_t timeoutMs = 50;
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(timeoutMs));
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ("", readByte(FT_OK));
    EXPECT_GE(clock.elapsed(), timeoutMs - 10);

    pty.send("A");
    EXPECT_EQ("A", readByte(FT_OK));
    uint32_t written = 0;
    EXPECT_EQ(FT_OK, bridge.FT_Write(handle, "B", 1, &written));
    EXPECT_EQ("B", pty.receive(1, 2000));
}

TEST_F(SerialBridgeOverPty, PurgeDropsWhatWaitsInThePortAndInTheDriver)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(50));
    pty.send("stale\r\n");
    EXPECT_EQ("s", readByte()); // the rest now waits in the port
    pty.send("more"); // and this in the driver
    EXPECT_EQ(FT_OK, bridge.FT_Purge(handle, FT_PURGE_RX));
    pty.send("A");
    EXPECT_EQ("A", readByte());
    EXPECT_EQ(FT_INVALID_PARAMETER, bridge.FT_Purge(handle, 4));
}

TEST_F(SerialBridgeOverPty, UnaskedFloodIsDroppedAndCountedWithinTheBound)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(50));
    constexpr std::size_t Flood = 50u << 20;
    std::size_t sent = 0;
    bool done = false;
    const std::unique_ptr<QThread> sender(QThread::create([&] { sent = pty.flood(Flood, 10000); }));
    QObject::connect(sender.get(), &QThread::finished, sender.get(), [&] { done = true; });
    sender->start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    EXPECT_EQ(Flood, sent);
    EXPECT_LE(bridge.inputCounts(handle).mostHeld, SerialBridge::InputBound);
    EXPECT_GT(bridge.inputCounts(handle).dropped, Flood - (1u << 20));
    ASSERT_EQ(FT_OK, bridge.FT_Purge(handle, FT_PURGE_RX));
    pty.send("A");
    EXPECT_EQ("A", readByte());
}

// Read and write calls the process has made (/proc/self/io).
std::size_t readsAndWrites()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::size_t value = 0;
    std::size_t total = 0;
    while (io >> key >> value)
        total += key == "syscr:" || key == "syscw:" ? value : 0;
    return total;
}

enum class HangUpSeen { ByARead, ByAWrite, WhileIdle };

std::string seenName(const ::testing::TestParamInfo<HangUpSeen>& info)
{
    return std::array { "ByARead", "ByAWrite", "WhileIdle" }[int(info.param)];
}

class SerialBridgeHangUp : public SerialBridgeOverPty, public ::testing::WithParamInterface<HangUpSeen> { };

// Not FT_IO_ERROR: the driver would take that, with no byte, for a time-out.
// Once the hang-up is seen, a write left queued is not retried, nor is the
// line read again, on any turn of the event loop.
TEST_P(SerialBridgeHangUp, InstrumentGoneStopsTheLineAndCallsFailWithDeviceNotFound)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(2000));
    pty.closeMaster();
    uint32_t written = 0;
    if (GetParam() == HangUpSeen::ByARead) {
        EXPECT_EQ("", readByte(FT_DEVICE_NOT_FOUND));
    } else if (GetParam() == HangUpSeen::ByAWrite) {
        EXPECT_EQ(FT_DEVICE_NOT_FOUND, bridge.FT_Write(handle, "X", 1, &written));
    }
    const std::size_t before = readsAndWrites();
    for (int turn = 0; turn < 1000; ++turn)
        QCoreApplication::processEvents();
    EXPECT_LT(readsAndWrites() - before, 20u);

    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ("", readByte(FT_DEVICE_NOT_FOUND));
    EXPECT_EQ("", readByte(FT_DEVICE_NOT_FOUND));
    EXPECT_LT(clock.elapsed(), 1000); // noticed, not timed out
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, bridge.FT_Write(handle, "X", 1, &written));
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, bridge.FT_Purge(handle, FT_PURGE_RX));
    EXPECT_EQ(FT_OK, bridge.FT_Close(handle));
}

INSTANTIATE_TEST_SUITE_P(Seen, SerialBridgeHangUp,
    ::testing::Values(HangUpSeen::ByARead, HangUpSeen::ByAWrite, HangUpSeen::WhileIdle), seenName);

TEST_F(SerialBridgeOverPty, WriteNotTakenInTimeFailsWithIoErrorOnALineStillThereAndIsNotSentLater)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(50));
    ASSERT_EQ(FT_OK, bridge.FT_SetTimeouts(handle, 50, 50));
    // More than the pty holds while the instrument reads nothing.
    const std::string flood(1 << 20, 'F');
    uint32_t written = 0;
    EXPECT_EQ(FT_IO_ERROR, bridge.FT_Write(handle, flood.data(), flood.size(), &written));
    EXPECT_LT(written, flood.size());
    EXPECT_EQ("", readByte(FT_OK));
    pty.receive(flood.size(), 100); // what the line took before the time-out
    EXPECT_EQ(FT_OK, bridge.FT_Write(handle, "B", 1, &written));
    EXPECT_EQ("B", pty.receive(1, 2000));
}

TEST_F(SerialBridgeOverPty, BadAndClosedHandlesAreRejected)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(50));
    ASSERT_EQ(FT_OK, bridge.FT_Close(handle));
    for (const DeviceHandle bad : { handle, DeviceHandle { 0 }, DeviceHandle { -1 }, handle + 1 })
        expectEveryCallRejects(bridge, bad);
}

TEST_F(SerialBridgeOverPty, OpenFailuresKeepAReasonNamingThePort)
{
    ASSERT_NO_FATAL_FAILURE(openWithLineSettings(50));
    EXPECT_EQ("", bridge.openFailure());

    DeviceHandle second = 0;
    EXPECT_EQ(FT_DEVICE_NOT_OPENED, bridge.FT_Open(static_cast<int32_t>(listCount(bridge) - 1), &second));
    EXPECT_THAT(bridge.openFailure(), HasSubstr(pty.path()));
    EXPECT_THAT(bridge.openFailure(), HasSubstr("in use"));
}

TEST(SerialBridgeOpen, PathThatDoesNotExistFails)
{
    ensureQtApplication();
    const std::string missing = "/dev/r6140k-no-such-port";
    SerialBridge bridge({ missing });
    DeviceHandle handle = 0;
    EXPECT_EQ(FT_DEVICE_NOT_OPENED, bridge.FT_Open(static_cast<int32_t>(listCount(bridge) - 1), &handle));
    EXPECT_EQ(0, handle);
    EXPECT_THAT(bridge.openFailure(), HasSubstr(missing + " is not there"));
    // Also while another program trying the same path holds its lock file.
    if (!QFileInfo(UucpLocks).isWritable())
        GTEST_SKIP() << UucpLocks << " is not writable here";
    QLockFile otherProgramsLock(QString(UucpLocks) + "/LCK..r6140k-no-such-port");
    ASSERT_TRUE(otherProgramsLock.tryLock());
    EXPECT_EQ(FT_DEVICE_NOT_OPENED, bridge.FT_Open(static_cast<int32_t>(listCount(bridge) - 1), &handle));
    EXPECT_THAT(bridge.openFailure(), HasSubstr(missing + " is not there"));
}

} // namespace
