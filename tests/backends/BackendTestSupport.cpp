#include "BackendTestSupport.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

namespace backends_test {

using namespace usblink;

void ensureQtApplication()
{
    static int argc = 1;
    static char name[] = "backends_test";
    static char* argv[] = { name, nullptr };
    if (!QCoreApplication::instance())
        new QCoreApplication(argc, argv);
}

uint32_t listCount(BridgeLibrary& library)
{
    uint32_t count = 0;
    EXPECT_EQ(FT_OK, library.FT_ListDevices(&count, nullptr, FT_LIST_NUMBER_ONLY));
    return count;
}

ListText listText(BridgeLibrary& library, uint32_t index, uint32_t which)
{
    char buffer[ListTextSize] = {};
    const FT_STATUS status
        = library.FT_ListDevices(reinterpret_cast<void*>(uintptr_t { index }), buffer, FT_LIST_BY_INDEX | which);
    return { status, buffer };
}

void expectEveryCallRejects(BridgeLibrary& library, DeviceHandle handle)
{
    SCOPED_TRACE("handle " + std::to_string(handle));
    char byte = 'x';
    uint32_t count = 0;
    EXPECT_EQ(FT_INVALID_HANDLE, library.FT_SetBaudRate(handle, 57600));
    EXPECT_EQ(FT_INVALID_HANDLE, library.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE));
    EXPECT_EQ(FT_INVALID_HANDLE, library.FT_SetFlowControl(handle, FT_FLOW_NONE, 0, 0));
    EXPECT_EQ(FT_INVALID_HANDLE, library.FT_SetTimeouts(handle, 50, 0));
    EXPECT_EQ(FT_INVALID_HANDLE, library.FT_Write(handle, &byte, 1, &count));
    EXPECT_EQ(FT_INVALID_HANDLE, library.FT_Read(handle, &byte, 1, &count));
    EXPECT_EQ(FT_INVALID_HANDLE, library.FT_Purge(handle, FT_PURGE_RX));
    EXPECT_EQ(FT_INVALID_HANDLE, library.FT_Close(handle));
}

} // namespace backends_test
