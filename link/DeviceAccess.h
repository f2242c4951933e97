#pragma once

// What the system tells about a device node: who holds it, who may open it.
// The system-specific parts live in platform/<system>/DeviceAccess.cpp.

#include <string>
#include <vector>

namespace usblink {

// A process that holds a device open.
struct PortHolder {
    long pid = 0;
    std::string program;
    bool operator==(const PortHolder&) const = default;
};

// The other processes that hold a device node open, as far as the system
// tells, and why the list may be incomplete (empty when it is not).
struct PortHolders {
    std::vector<PortHolder> programs;
    std::string unknown;
};

// The holders of the node at path: on Linux, open descriptors under /proc
// (every process's for root, one's own otherwise) and the UUCP lock file
// (LCK..name) that serial programs, Qt's among them, leave with their
// process id. Where the system offers no way to tell, none, with the reason.
PortHolders portHolders(const std::string& path);

// "minicom (pid 1234), screen (pid 99)".
std::string describeHolders(const std::vector<PortHolder>& holders);

// The path the system opens for a serial port named as given: on Linux, as
// Qt Serial Port takes it, a name that does not start with "/", "./" or
// "../" is a device in /dev ("ttyS0" is /dev/ttyS0).
std::string systemPortPath(const std::string& name);

// Whether the current user may read and write the node at path.
bool mayOpen(const std::string& path);

// Why a user may not open path and what to do: join the group that owns the
// node and log in again (or only log in again, where the user was added to
// the group after this login began); where no group may use the node, ask
// the administrator.
std::string permissionAdvice(const std::string& path);

// The control panel's program name, as the system lists its processes.
inline constexpr const char* PanelProgram = "r6140k-panel";

// Why path cannot be opened because another program has it; when that is
// a panel, also how to go through it.
std::string busyAdvice(const std::string& path);

} // namespace usblink
