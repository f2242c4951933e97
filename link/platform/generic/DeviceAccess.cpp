// Device nodes where the system offers no way to tell their holders or
// groups: nobody is named, and the system is left to refuse an open.
#include "DeviceAccess.h"

namespace usblink {

PortHolders portHolders(const std::string&)
{
    return { {}, "not available on this system" };
}

std::string systemPortPath(const std::string& name)
{
    return name;
}

bool mayOpen(const std::string&)
{
    return true;
}

std::string permissionAdvice(const std::string& path)
{
    return "No permission to open " + path + ": ask the administrator of this computer for access.";
}

} // namespace usblink
