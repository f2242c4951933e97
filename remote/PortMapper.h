#pragma once

#include <QHostAddress>
#include <cstdint>
#include <string>

namespace remote {

// What the user is told when no port mapper answers, which VXI-11 clients
// ask for the core channel's port.
inline constexpr const char* PortMapperMissing
    = "VXI-11 needs rpcbind, which does not answer here: sudo apt install rpcbind, then sudo systemctl start rpcbind.";

// Why no port mapper can be asked on this machine, or empty when one answers.
std::string portMapperProblem();

// An ONC RPC program's registration with the machine's own port mapper
// (Debian's rpcbind), so that clients find the port it is served on. A
// registration left behind by a server that no longer answers (a panel
// that was killed) is replaced; one whose server answers is left alone.
// Withdrawn when the object goes, or before, for a run that ends at once.
class PortMapperRegistration {
public:
    PortMapperRegistration(uint32_t program, uint32_t version)
        : program_(program)
        , version_(version)
    {
    }
    ~PortMapperRegistration() { withdraw(); }
    PortMapperRegistration(const PortMapperRegistration&) = delete;
    PortMapperRegistration& operator=(const PortMapperRegistration&) = delete;

    // Registers the program as served over TCP at the address and port;
    // empty when it is, or else why not, in words for the user.
    std::string registerAt(const QHostAddress& address, uint16_t port);
    void withdraw();
    // Whether the port mapper still lists the registration made: one that
    // restarts forgets every registration.
    bool stillListed() const;

private:
    uint32_t program_;
    uint32_t version_;
    std::string netid_; // of the registration made, empty while there is none
    uint16_t port_ = 0; // registered
};

} // namespace remote
