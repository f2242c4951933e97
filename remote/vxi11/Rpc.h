#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "Xdr.h"

// ONC RPC messages (RFC 5531) as a server sees them: the header of a call,
// and the replies. Credentials are read and not checked: the served
// programs have no authentication.
namespace vxi11 {

inline constexpr uint32_t RpcVersion = 2;

struct CallHeader {
    uint32_t xid = 0;
    uint32_t rpcVersion = 0;
    uint32_t program = 0;
    uint32_t version = 0;
    uint32_t procedure = 0;
};

// Reads a call's header, leaving the reader at the procedure's arguments;
// nothing when the message is no call (a reply, or bytes that end early).
std::optional<CallHeader> readCallHeader(XdrReader& reader);

// How an accepted call went.
enum class AcceptStat : uint32_t {
    Success = 0,
    ProgramUnavailable = 1,
    ProgramMismatch = 2,
    ProcedureUnavailable = 3,
    GarbageArguments = 4,
};

// The reply to a call that was accepted; after Success come the results.
Bytes acceptedReply(uint32_t xid, AcceptStat stat, std::span<const uint8_t> results = {});
// The reply to a call of a served program in a version that is not served.
Bytes programMismatchReply(uint32_t xid, uint32_t servedVersion);
// The reply to a call in another version of RPC itself.
Bytes rpcMismatchReply(uint32_t xid);

} // namespace vxi11
