#include "QuickAck.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace remote {

void acknowledgeAtOnce(qintptr socketDescriptor)
{
    const int on = 1;
    ::setsockopt(static_cast<int>(socketDescriptor), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

} // namespace remote
