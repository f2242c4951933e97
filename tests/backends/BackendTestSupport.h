#pragma once

#include <cstdint>
#include <string>

#include "BridgeLibrary.h"

namespace backends_test {

// Qt Serial Port needs an application object; made once per test program.
void ensureQtApplication();

// The count from FT_LIST_NUMBER_ONLY (expects FT_OK).
uint32_t listCount(usblink::BridgeLibrary& library);

// Status and text of one by-index listing call; which is
// FT_OPEN_BY_DESCRIPTION or FT_OPEN_BY_SERIAL_NUMBER.
struct ListText {
    usblink::FT_STATUS status;
    std::string text;
};
ListText listText(usblink::BridgeLibrary& library, uint32_t index, uint32_t which);

// Expects every call that takes a handle, FT_Close last, to fail with
// FT_INVALID_HANDLE for handle.
void expectEveryCallRejects(usblink::BridgeLibrary& library, usblink::DeviceHandle handle);

} // namespace backends_test
