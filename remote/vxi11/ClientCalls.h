#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "DeviceCalls.h"

// The client's side of VXI-11: the calls it makes on the core channel, and
// the port mapper's GETPORT that finds that channel, as RPC messages (record
// marking is the caller's), and what their replies say.
namespace vxi11 {

// The arguments of the calls a client makes: create_link, device_write,
// device_read, and destroy_link with a LinkParms.
using ClientArguments = std::variant<CreateLinkParms, WriteParms, ReadParms, LinkParms>;

Bytes coreCall(uint32_t xid, Procedure procedure, const ClientArguments& arguments);
// GETPORT (port mapper version 2) of the core channel over TCP.
Bytes portQuery(uint32_t xid);

// A reply's result in the shape of the procedure's own, or why there is
// none, in words.
struct CoreReply {
    Result result;
    std::string problem;
};
// nullopt for the reply to another call (another xid), which a client
// passes over: a late one, whose caller stopped waiting.
std::optional<CoreReply> coreReply(std::span<const uint8_t> message, uint32_t xid, Procedure procedure);

// The port the core channel is served on, 0 when no server registered it.
struct PortReply {
    uint32_t port = 0;
    std::string problem;
};
std::optional<PortReply> portReply(std::span<const uint8_t> message, uint32_t xid);

// What a device error code means, in words ("device not accessible").
std::string meaningOf(ErrorCode error);

} // namespace vxi11
