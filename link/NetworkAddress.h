#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace usblink {

// Where an instrument's line is exported on the network: raw TCP, as
// ser2net's tcp accepter or a device server in raw mode give it, or telnet
// with RFC 2217 COM-port control.
struct NetworkAddress {
    enum class Protocol { Raw, Rfc2217 };
    Protocol protocol = Protocol::Raw;
    std::string host;
    uint16_t port = 0;
    std::string url; // as given: tcp://HOST:PORT or rfc2217://HOST:PORT

    // tcp://HOST:PORT or rfc2217://HOST:PORT (an IPv6 host in brackets);
    // nothing for any other text.
    static std::optional<NetworkAddress> parse(std::string_view url);
    // Whether text is meant as a network address rather than a path: it has
    // a scheme.
    static bool looksLikeOne(std::string_view text) { return text.find("://") != std::string_view::npos; }
};

} // namespace usblink
