#include "PanelRegistry.h"

#include <QFileInfo>
#include <cerrno>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace app {

// Signal 0 only checks: a process of another user answers EPERM, but runs.
bool processRunning(long pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// The 22nd field of /proc/PID/stat, after the command name in parentheses
// (which may itself hold blanks and parentheses).
unsigned long long startOfOwnProcess(long pid)
{
    const std::string folder = "/proc/" + std::to_string(pid);
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0 || status.st_uid != ::getuid())
        return 0;
    std::ifstream file(folder + "/stat");
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::size_t afterName = text.rfind(')');
    if (afterName == std::string::npos)
        return 0;
    std::istringstream fields(text.substr(afterName + 1));
    std::string field;
    for (int i = 3; i < 22 && fields >> field; ++i) { }
    unsigned long long start = 0;
    fields >> start;
    return start;
}

bool ownedByThisUser(const QFileInfo& info)
{
    return info.ownerId() == ::getuid();
}

} // namespace app
