#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "Version.h"
#include "SimulatedBridge.h"

namespace {

using namespace usblink;
using sim::SimulatedBridge;

void* indexArgument(uintptr_t index)
{
    return reinterpret_cast<void*>(index);
}

class SimBridge : public ::testing::Test {
protected:
    DeviceHandle open()
    {
        DeviceHandle handle = 0;
        EXPECT_EQ(bridge.FT_Open(0, &handle), FT_OK);
        return handle;
    }

    void write(DeviceHandle handle, const std::string& text)
    {
        uint32_t written = 0;
        ASSERT_EQ(bridge.FT_Write(handle, text.data(), static_cast<uint32_t>(text.size()), &written), FT_OK);
        ASSERT_EQ(written, text.size());
    }

    // Reads one byte at a time, as the panel's driver does, until a read
    // comes back empty.
    std::string readAll(DeviceHandle handle)
    {
        std::string text;
        char byte = 0;
        uint32_t received = 0;
        while (bridge.FT_Read(handle, &byte, 1, &received) == FT_OK && received == 1)
            text += byte;
        return text;
    }

    SimulatedBridge bridge;
};

TEST_F(SimBridge, ListsOneDeviceWithDescriptionAndSerial)
{
    uint32_t count = 99;
    EXPECT_EQ(bridge.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY), FT_OK);
    EXPECT_EQ(count, 1u);

    std::array<char, usblink::ListTextSize> buffer;
    buffer.fill('#');
    EXPECT_EQ(bridge.FT_ListDevices(indexArgument(0), buffer.data(), FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION), FT_OK);
    EXPECT_STREQ(buffer.data(), "R6140K Simulator");
    buffer.fill('#');
    EXPECT_EQ(
        bridge.FT_ListDevices(indexArgument(0), buffer.data(), FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER), FT_OK);
    EXPECT_STREQ(buffer.data(), "SIM00001");
}

TEST_F(SimBridge, ListingRejectsOtherIndexesAndMalformedCalls)
{
    std::array<char, usblink::ListTextSize> buffer {};
    EXPECT_EQ(bridge.FT_ListDevices(indexArgument(1), buffer.data(), FT_LIST_BY_INDEX | FT_OPEN_BY_DESCRIPTION),
        FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(bridge.FT_ListDevices(indexArgument(0), nullptr, FT_LIST_BY_INDEX | FT_OPEN_BY_SERIAL_NUMBER),
        FT_INVALID_PARAMETER);
    EXPECT_EQ(bridge.FT_ListDevices(nullptr, nullptr, FT_LIST_NUMBER_ONLY), FT_INVALID_PARAMETER);
    EXPECT_EQ(bridge.FT_ListDevices(indexArgument(0), buffer.data(), FT_LIST_BY_INDEX), FT_INVALID_PARAMETER);
}

TEST_F(SimBridge, OpensOnlyIndexZeroOnceAtATimeWithFreshHandles)
{
    DeviceHandle other = 0;
    EXPECT_EQ(bridge.FT_Open(1, &other), FT_DEVICE_NOT_FOUND);
    EXPECT_EQ(bridge.FT_Open(-1, &other), FT_DEVICE_NOT_FOUND);

    const DeviceHandle first = open();
    EXPECT_NE(first, 0);
    EXPECT_NE(first, -1);
    EXPECT_EQ(bridge.FT_Open(0, &other), FT_DEVICE_NOT_OPENED);

    EXPECT_EQ(bridge.FT_Close(first), FT_OK);
    const DeviceHandle second = open();
    EXPECT_NE(second, first);
    EXPECT_EQ(bridge.FT_Close(second), FT_OK);
}

TEST_F(SimBridge, LineSettingsSucceedOnAnOpenHandle)
{
    const DeviceHandle handle = open();
    EXPECT_EQ(bridge.FT_SetBaudRate(handle, 57600), FT_OK);
    EXPECT_EQ(bridge.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_OK);
    EXPECT_EQ(bridge.FT_SetFlowControl(handle, FT_FLOW_NONE, 0x11, 0x13), FT_OK);
    EXPECT_EQ(bridge.FT_SetTimeouts(handle, 5000, 1000), FT_OK);
}

TEST_F(SimBridge, WrittenCommandsReachTheInstrumentAndRepliesAreReadBack)
{
    const DeviceHandle handle = open();
    write(handle, ":BAS:IOFF -120\r\n");
    EXPECT_THAT(bridge.instrument().value(":BAS:IOFF"), ::testing::Optional(-120));
    write(handle, ":BAS:IOFF?\r\n*IDN?\r\n");
    EXPECT_EQ(readAll(handle), "-120\r\nR6140K Simulator,R6140K,SIM00001," + std::string(app::VersionText) + "\r\n");
}

TEST_F(SimBridge, ReadWithNothingQueuedTimesOutAtOnce)
{
    const DeviceHandle handle = open();
    write(handle, ":MOD:IATT 40\r\n");
    char byte = 'x';
    uint32_t received = 7;
    EXPECT_EQ(bridge.FT_Read(handle, &byte, 1, &received), FT_OK);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(byte, 'x');
}

TEST_F(SimBridge, LargerReadsTakeWhatIsQueued)
{
    const DeviceHandle handle = open();
    write(handle, "SYST:REFL?\n");
    std::array<char, 16> buffer {};
    uint32_t received = 0;
    EXPECT_EQ(bridge.FT_Read(handle, buffer.data(), buffer.size(), &received), FT_OK);
    EXPECT_EQ(std::string(buffer.data(), received), "1\r\n");
}

TEST_F(SimBridge, RepliesNotReadAreDroppedByAReceivePurgeAndOnClose)
{
    DeviceHandle handle = open();
    write(handle, "*IDN?\n");
    ASSERT_EQ(bridge.FT_Purge(handle, FT_PURGE_RX), FT_OK);
    write(handle, "SYST:REFL?\n");
    EXPECT_EQ(readAll(handle), "1\r\n");
    write(handle, "*IDN?\n");
    ASSERT_EQ(bridge.FT_Close(handle), FT_OK);
    handle = open();
    EXPECT_EQ(readAll(handle), "");
}

TEST_F(SimBridge, ClosedUnknownAndReservedHandlesAreInvalid)
{
    const DeviceHandle closed = open();
    ASSERT_EQ(bridge.FT_Close(closed), FT_OK);
    char byte = 0;
    uint32_t count = 0;
    for (const DeviceHandle handle : { closed, DeviceHandle { 0 }, DeviceHandle { -1 }, DeviceHandle { 12345 } }) {
        SCOPED_TRACE(handle);
        EXPECT_EQ(bridge.FT_SetBaudRate(handle, 57600), FT_INVALID_HANDLE);
        EXPECT_EQ(
            bridge.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE), FT_INVALID_HANDLE);
        EXPECT_EQ(bridge.FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0), FT_INVALID_HANDLE);
        EXPECT_EQ(bridge.FT_SetTimeouts(handle, 5000, 1000), FT_INVALID_HANDLE);
        EXPECT_EQ(bridge.FT_Write(handle, "*RST\n", 5, &count), FT_INVALID_HANDLE);
        EXPECT_EQ(bridge.FT_Read(handle, &byte, 1, &count), FT_INVALID_HANDLE);
        EXPECT_EQ(bridge.FT_Purge(handle, FT_PURGE_RX), FT_INVALID_HANDLE);
        EXPECT_EQ(bridge.FT_Close(handle), FT_INVALID_HANDLE);
    }
}

} // namespace
