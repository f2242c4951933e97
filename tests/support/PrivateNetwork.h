#pragma once

#include <cstdio>
#include <cstdlib>
#include <sched.h>
#include <sys/mount.h>

namespace test_support {

// The address of the test's own network interface, which mDNS and
// broadcasts need: avahi ignores the loopback interface.
inline constexpr const char* LanAddress = "10.254.0.1";
inline constexpr const char* LanInterface = "v0";
// A second address on the same interface, as a machine with two panels has.
inline constexpr const char* SecondLanAddress = "10.254.0.2";

// Moves the test program, before it starts any thread, into network and
// mount namespaces of its own (as root), so that the port mapper on port
// 111, multicast, and the sockets the daemons it starts keep under /run
// never meet the machine's own. The namespace has the loopback interface
// and a veth pair whose end v0 has LanAddress and SecondLanAddress; everything in it ends with
// the test program's processes.
inline void enterPrivateNetwork()
{
    if (::unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
        std::perror("a network namespace of the test's own needs root: unshare");
        std::exit(1);
    }
    ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr);
    ::mount("tmpfs", "/run", "tmpfs", 0, "mode=755");
    const int status = std::system("ip link set lo up && ip link add v0 type veth peer name v1 && ip link set v1 up "
                                   "&& ip link set v0 multicast on up && ip addr add 10.254.0.1/24 dev v0 && ip addr add 10.254.0.2/24 dev v0");
    if (status != 0) {
        std::fprintf(stderr, "cannot set up the test's network namespace (ip, status %d)\n", status);
        std::exit(1);
    }
}

} // namespace test_support
