#include "PanelRegistry.h"

#include <cerrno>
#include <csignal>

namespace app {

// Signal 0 only checks: a process of another user answers EPERM, but runs.
bool processRunning(long pid)
{
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

} // namespace app
