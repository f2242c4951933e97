#include "TerminationSignals.h"

namespace app {

// Not available on this system: the signals end the process at once.
void runBeforeTermination(std::function<void()>)
{
}

} // namespace app
