#include "D2xxBridge.h"

#include <QLibrary>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BackendTestSupport.h"

using namespace usblink;
using namespace backends_test;
using ::testing::HasSubstr;

namespace {

// The D2XX backend over the stand-in library, whose call log the test reads
// through the stand-in's own exports.
class D2xxBridgeOverStandin : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        bridge = D2xxBridge::load(STANDIN_LIBRARY, &error);
        ASSERT_NE(nullptr, bridge) << error;
        ASSERT_TRUE(standin.load()) << standin.errorString().toStdString();
        takeLog = reinterpret_cast<TakeLog>(standin.resolve("standin_take_log"));
        lastHandle = reinterpret_cast<LastHandle>(standin.resolve("standin_last_handle"));
        ASSERT_TRUE(takeLog && lastHandle);
        takeLog();
    }

    DeviceHandle open(int32_t index)
    {
        DeviceHandle handle = 0;
        EXPECT_EQ(FT_OK, bridge->FT_Open(index, &handle));
        return handle;
    }

    using TakeLog = const char* (*)();
    using LastHandle = uintptr_t (*)();

    std::unique_ptr<D2xxBridge> bridge;
    QLibrary standin { STANDIN_LIBRARY };
    TakeLog takeLog = nullptr;
    LastHandle lastHandle = nullptr;
};

TEST_F(D2xxBridgeOverStandin, ListingPassesThroughWithCountTextsAndIndexInThePointer)
{
    EXPECT_EQ(2u, listCount(*bridge));
    const ListText firstName = listText(*bridge, 0, FT_OPEN_BY_DESCRIPTION);
    const ListText firstSerial = listText(*bridge, 0, FT_OPEN_BY_SERIAL_NUMBER);
    const ListText secondName = listText(*bridge, 1, FT_OPEN_BY_DESCRIPTION);
    const ListText secondSerial = listText(*bridge, 1, FT_OPEN_BY_SERIAL_NUMBER);
    EXPECT_EQ(FT_OK, firstName.status);
    EXPECT_EQ("R6140K Stand-in", firstName.text);
    EXPECT_EQ("SA000001", firstSerial.text);
    EXPECT_EQ("Other", secondName.text);
    EXPECT_EQ(FT_OK, secondSerial.status);
    EXPECT_EQ("SB000002", secondSerial.text);
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, listText(*bridge, 2, FT_OPEN_BY_DESCRIPTION).status);

    EXPECT_STREQ("FT_ListDevices number\n"
                 "FT_ListDevices index 0 description\n"
                 "FT_ListDevices index 0 serial\n"
                 "FT_ListDevices index 1 description\n"
                 "FT_ListDevices index 1 serial\n"
                 "FT_ListDevices index 2 description\n",
        takeLog());
}

TEST_F(D2xxBridgeOverStandin, DeviceCallsPassThroughWithTheirArgumentsAndResults)
{
    const DeviceHandle handle = open(0);
    EXPECT_EQ(FT_OK, bridge->FT_SetBaudRate(handle, 57600));
    EXPECT_EQ(FT_OK, bridge->FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE));
    EXPECT_EQ(FT_OK, bridge->FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0));
    EXPECT_EQ(FT_OK, bridge->FT_SetTimeouts(handle, 5000, 0));
    uint32_t written = 0;
    EXPECT_EQ(FT_OK, bridge->FT_Write(handle, "*IDN?\r\n", 7, &written));
    EXPECT_EQ(7u, written);
    char byte = 0;
    uint32_t received = 0;
    EXPECT_EQ(FT_OK, bridge->FT_Read(handle, &byte, 1, &received));
    EXPECT_EQ(1u, received);
    EXPECT_EQ('R', byte);
    EXPECT_EQ(FT_OK, bridge->FT_Purge(handle, FT_PURGE_RX | FT_PURGE_TX));
    EXPECT_EQ(FT_OK, bridge->FT_Close(handle));

    EXPECT_STREQ("FT_Open 0\n"
                 "FT_SetBaudRate dev0 57600\n"
                 "FT_SetDataCharacteristics dev0 8 0 0\n"
                 "FT_SetFlowControl dev0 0 0 0\n"
                 "FT_SetTimeouts dev0 5000 0\n"
                 "FT_Write dev0 \"*IDN?\\r\\n\" 7\n"
                 "FT_Read dev0 1\n"
                 "FT_Purge dev0 3\n"
                 "FT_Close dev0\n",
        takeLog());
}

TEST_F(D2xxBridgeOverStandin, LibraryFailuresComeBackAsTheyAre)
{
    DeviceHandle handle = 0;
    EXPECT_EQ(FT_DEVICE_NOT_FOUND, bridge->FT_Open(2, &handle));
    EXPECT_EQ(0, handle);
    const DeviceHandle open = this->open(1);
    char byte = 0;
    uint32_t received = 99;
    EXPECT_EQ(FT_OK, bridge->FT_Read(open, &byte, 1, &received));
    EXPECT_EQ(0u, received);
}

TEST_F(D2xxBridgeOverStandin, HandlesAreSmallTokensThatReachTheirOwnDevice)
{
    const DeviceHandle first = open(0);
    const uintptr_t firstPointer = lastHandle();
    const DeviceHandle second = open(1);
    if constexpr (sizeof(void*) == 8) {
        ASSERT_GT(firstPointer, uintptr_t { 0xFFFFFFFFu }) << "the stand-in's handles must not fit 32 bits";
    }
    EXPECT_EQ(1, first);
    EXPECT_EQ(2, second);

    takeLog();
    EXPECT_EQ(FT_OK, bridge->FT_SetBaudRate(second, 9600));
    EXPECT_EQ(FT_OK, bridge->FT_SetBaudRate(first, 57600));
    EXPECT_STREQ("FT_SetBaudRate dev1 9600\nFT_SetBaudRate dev0 57600\n", takeLog());
}

TEST_F(D2xxBridgeOverStandin, ClosedAndUnknownHandlesNeverReachTheLibrary)
{
    const DeviceHandle handle = open(0);
    ASSERT_EQ(FT_OK, bridge->FT_Close(handle));
    takeLog();
    for (const DeviceHandle bad : { handle, DeviceHandle { 0 }, DeviceHandle { -1 }, handle + 1 })
        expectEveryCallRejects(*bridge, bad);
    EXPECT_STREQ("", takeLog());
}

TEST_F(D2xxBridgeOverStandin, DevicesLeftOpenAreClosedWithTheBridge)
{
    open(0);
    open(1);
    takeLog();
    bridge.reset();
    const std::string log = takeLog();
    EXPECT_THAT(log, HasSubstr("FT_Close dev0\n"));
    EXPECT_THAT(log, HasSubstr("FT_Close dev1\n"));
}

// A path that surely does not exist, whatever the machine has installed.
constexpr const char* MissingLibrary = "/nonexistent/libftd2xx.so";

TEST(D2xxBridgeLoad, MissingLibraryGivesNoBridgeAndNamesTheFile)
{
    std::string error;
    EXPECT_EQ(nullptr, D2xxBridge::load(MissingLibrary, &error));
    EXPECT_THAT(error, HasSubstr("Could not load the FTDI D2XX library /nonexistent/libftd2xx.so"));
    EXPECT_EQ(nullptr, D2xxBridge::load(MissingLibrary));
}

TEST(D2xxBridgeLoad, LibraryLackingACallGivesNoBridge)
{
    std::string error;
    EXPECT_EQ(nullptr, D2xxBridge::load(STANDIN_NOCLOSE_LIBRARY, &error));
    EXPECT_THAT(error, HasSubstr(STANDIN_NOCLOSE_LIBRARY));
    EXPECT_THAT(error, HasSubstr("FT_Close"));
}

} // namespace
