#pragma once

namespace app {

// r6140k-panel from its command line to its end: the options, the bridge,
// the session, the window and what it serves. Returns the exit status.
int runPanel(int argc, char* argv[]);

} // namespace app
