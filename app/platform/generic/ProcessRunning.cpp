#include "PanelRegistry.h"

namespace app {

// No portable way to ask: a file left by a panel that was killed is then
// tried, and its socket refuses the connection.
bool processRunning(long)
{
    return true;
}

} // namespace app
