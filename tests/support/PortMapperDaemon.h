#pragma once

#include "DaemonProcess.h"
#include "PortMapper.h"

namespace test_support {

// Debian's rpcbind in the foreground, for a test in its own network
// namespace (PrivateNetwork.h); ready once it answers.
struct PortMapperDaemon : DaemonProcess {
    PortMapperDaemon()
        : DaemonProcess("rpcbind", { "-f" }, [] { return remote::portMapperProblem().empty(); })
    {
    }
};

} // namespace test_support
