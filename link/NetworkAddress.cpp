#include "NetworkAddress.h"

#include <charconv>

namespace usblink {
namespace {

std::optional<uint16_t> portNumber(std::string_view text)
{
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

} // namespace

std::optional<NetworkAddress> NetworkAddress::parse(std::string_view url)
{
    NetworkAddress address;
    address.url = url;
    std::string_view rest;
    if (url.starts_with("tcp://")) {
        rest = url.substr(6);
    } else if (url.starts_with("rfc2217://")) {
        address.protocol = Protocol::Rfc2217;
        rest = url.substr(10);
    } else {
        return std::nullopt;
    }
    const bool bracketed = rest.starts_with('[');
    const std::size_t colon = bracketed ? rest.find("]:") + 1 : rest.rfind(':');
    if (colon == 0 || colon == std::string_view::npos)
        return std::nullopt;
    address.host = bracketed ? rest.substr(1, colon - 2) : rest.substr(0, colon);
    const auto port = portNumber(rest.substr(colon + 1));
    const bool plainHost = address.host.find_first_of("/[]@") == std::string::npos;
    if (!port || address.host.empty() || !plainHost || (!bracketed && address.host.find(':') != std::string::npos))
        return std::nullopt;
    address.port = *port;
    return address;
}

} // namespace usblink
