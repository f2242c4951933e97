#include "DeviceAccess.h"

#include <algorithm>

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
    const std::vector<PortHolder> programs = portHolders(path).programs;
    const std::string holders = describeHolders(programs);
    if (holders.empty())
        return path + " is in use by another program.";
    // The panel can share its instrument: the way through it is the advice.
    const bool panel = std::ranges::any_of(programs, [](const PortHolder& holder) { return holder.program == PanelProgram; });
    if (panel)
        return path + " is in use by " + holders + ": close it there, or start the panel with --listen PORT and go "
            + "through it (r6140k-ctl --panel HOST:PORT, or TCPIP::HOST::PORT::SOCKET).";
    return path + " is in use by " + holders + ": close it there.";
}

} // namespace usblink
