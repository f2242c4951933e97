#pragma once

#include <cstdio>

#include "Options.h"

namespace app {

// r6140k-panel --check: reports, without any window, on each serial device
// (the USB serial ports and the paths given with --port) and network line,
// then opens each instrument the chooser would offer and prints its
// identification or why it could not be had. Returns the exit status: 0
// when an instrument answered, 1 otherwise. Needs an application object but
// no window system.
int runLinkCheck(const Options& options, std::FILE* out);

} // namespace app
