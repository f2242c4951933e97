#include "DeviceAccess.h"

namespace usblink {

std::string describeHolders(const std::vector<PortHolder>& holders)
{
    std::string text;
    for (const PortHolder& holder : holders)
        text += (text.empty() ? "" : ", ") + holder.program + " (pid " + std::to_string(holder.pid) + ")";
    return text;
}

std::string busyAdvice(const std::string& path)
{
    const std::string holders = describeHolders(portHolders(path).programs);
    if (holders.empty())
        return path + " is in use by another program.";
    return path + " is in use by " + holders + ": close it there.";
}

} // namespace usblink
