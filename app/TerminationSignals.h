#pragma once

#include <functional>

namespace app {

// Has the event loop run beforeEnd when SIGTERM or SIGINT arrives; the
// signal then ends the process as it would have without it. For what must
// not outlive the process, such as a registration with the port mapper.
void runBeforeTermination(std::function<void()> beforeEnd);

} // namespace app
