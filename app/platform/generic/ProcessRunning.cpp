#include "PanelRegistry.h"

namespace app {

// No portable way to ask: a file left by a panel that was killed is then
// tried, and its socket refuses the connection.
bool processRunning(long)
{
    return true;
}

unsigned long long startOfOwnProcess(long pid)
{
    return processRunning(pid) ? 1 : 0;
}

bool ownedByThisUser(const QFileInfo&)
{
    return true;
}

} // namespace app
