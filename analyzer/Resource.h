#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace analyzer {

// A VISA resource string of a LAN analyzer: TCPIP[n]::host::port::SOCKET
// (raw SCPI) or TCPIP[n]::host[::device]::INSTR (VXI-11, device inst0 when
// not named). Keywords in any case.
struct Resource {
    enum class Kind { Socket, Vxi11 };
    Kind kind = Kind::Socket;
    std::string host;
    uint16_t port = 0; // Socket only
    std::string device = "inst0"; // Vxi11 only

    static std::optional<Resource> parse(const std::string& text);
};

} // namespace analyzer
