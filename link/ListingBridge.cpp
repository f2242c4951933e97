#include "ListingBridge.h"

#include <algorithm>
#include <cstring>

namespace usblink {

void copyListText(std::string_view text, void* buffer)
{
    const std::size_t length = std::min(text.size(), ListTextSize - 1);
    auto* out = static_cast<char*>(buffer);
    std::memcpy(out, text.data(), length);
    out[length] = '\0';
}

} // namespace usblink
