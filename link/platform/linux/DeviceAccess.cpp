// Device nodes on Linux: holders found under /proc and in lock files, access
// from the node's mode and group.
#include "DeviceAccess.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace usblink {
namespace {

// Where serial programs leave their lock files, the first writable one of
// which Qt Serial Port uses.
constexpr const char* LockDirectories[] = { "/var/lock", "/run/lock", "/etc/locks", "/var/spool/locks",
    "/var/spool/uucp", "/tmp" };

std::string programOf(long pid)
{
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name.empty() ? "a program" : name;
}

// LCK..ttyUSB0 for /dev/ttyUSB0, LCK..pts_5 for /dev/pts/5.
std::string lockFileName(const std::string& path)
{
    std::string name = path.starts_with("/dev/") ? path.substr(5) : fs::path(path).filename().string();
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

// The process ids named by lock files of path whose process still runs.
std::vector<long> lockingProcesses(const std::string& path)
{
    std::vector<long> pids;
    for (const char* directory : LockDirectories) {
        std::ifstream lock(fs::path(directory) / lockFileName(path));
        long pid = 0;
        if (lock >> pid && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) == 0)
            pids.push_back(pid);
    }
    return pids;
}

// The processes with a descriptor open on device; hidden tells whether some
// processes' descriptors could not be looked at (other users', for a user
// who is not root).
std::vector<long> processesWithOpenDescriptor(const fs::path& device, bool& hidden)
{
    std::vector<long> pids;
    std::error_code error;
    for (const auto& process : fs::directory_iterator("/proc", error)) {
        const std::string name = process.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        std::error_code unreadable; // another user's process, or one that just ended
        fs::directory_iterator descriptors(process.path() / "fd", unreadable);
        hidden |= unreadable == std::errc::permission_denied;
        for (const auto& descriptor : descriptors) {
            std::error_code gone;
            if (fs::read_symlink(descriptor.path(), gone) == device) {
                pids.push_back(std::stol(name));
                break;
            }
        }
    }
    return pids;
}

bool inSupplementaryGroups(gid_t group)
{
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(::getgroups(0, nullptr), 0)));
    const int count = ::getgroups(static_cast<int>(groups.size()), groups.data());
    groups.resize(static_cast<std::size_t>(std::max(count, 0)));
    return std::ranges::find(groups, group) != groups.end() || ::getegid() == group;
}

// Whether the group database lists the current user in group.
bool listedInGroup(const group& entry)
{
    const passwd* user = ::getpwuid(::getuid());
    if (!user)
        return false;
    for (char** member = entry.gr_mem; member && *member; ++member)
        if (std::string(*member) == user->pw_name)
            return true;
    return false;
}

} // namespace

PortHolders portHolders(const std::string& path)
{
    std::error_code error;
    const fs::path device = fs::canonical(path, error);
    if (error)
        return {};
    bool hidden = false;
    std::vector<long> pids = processesWithOpenDescriptor(device, hidden);
    // Qt names the lock after the path it was given, a link to the node too.
    for (const std::string& name : { path, device.string() }) {
        const std::vector<long> locking = lockingProcesses(name);
        pids.insert(pids.end(), locking.begin(), locking.end());
    }
    std::erase(pids, static_cast<long>(::getpid())); // the program asking holds nothing it could close
    std::ranges::sort(pids);
    const auto [first, last] = std::ranges::unique(pids);
    pids.erase(first, last);
    PortHolders holders;
    if (hidden)
        holders.unknown = "other users' programs are not visible";
    for (long pid : pids)
        holders.programs.push_back({ pid, programOf(pid) });
    return holders;
}

std::string systemPortPath(const std::string& name)
{
    const bool located = name.starts_with('/') || name.starts_with("./") || name.starts_with("../");
    return located ? name : "/dev/" + name;
}

bool mayOpen(const std::string& path)
{
    return ::access(path.c_str(), R_OK | W_OK) == 0;
}

std::string permissionAdvice(const std::string& path)
{
    const std::string start = "No permission to open " + path;
    struct stat node {};
    const group* entry = ::stat(path.c_str(), &node) == 0 ? ::getgrgid(node.st_gid) : nullptr;
    const bool groupMayUse = (node.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    if (!entry || !groupMayUse)
        return start + ": ask the administrator of this computer for access (a udev rule can give it to a group).";
    const std::string name = entry->gr_name;
    if (listedInGroup(*entry) && !inSupplementaryGroups(entry->gr_gid))
        return start + ": you joined its group " + name + " after logging in. Log out and in again.";
    return start + ": join its group " + name + " (sudo usermod -aG " + name + " $USER), then log out and in again.";
}

} // namespace usblink
