#include "KeepAlive.h"

namespace remote {

void probeWhenIdle(qintptr)
{
}

} // namespace remote
