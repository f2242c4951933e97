#include "Rpc.h"

namespace vxi11 {

namespace {

constexpr uint32_t CallMessage = 0;
constexpr uint32_t ReplyMessage = 1;
constexpr uint32_t Accepted = 0;
constexpr uint32_t Denied = 1;
constexpr uint32_t RpcMismatch = 0;
constexpr uint32_t AuthNone = 0;
// An authentication body holds at most 400 bytes.
constexpr std::size_t MaxAuthBytes = 400;

void skipAuthentication(XdrReader& reader)
{
    reader.u32(); // flavour
    reader.opaque(MaxAuthBytes);
}

XdrWriter replyHeader(uint32_t xid, uint32_t status)
{
    XdrWriter writer;
    writer.u32(xid).u32(ReplyMessage).u32(status);
    return writer;
}

} // namespace

std::optional<CallHeader> readCallHeader(XdrReader& reader)
{
    CallHeader header;
    header.xid = reader.u32();
    const bool isCall = reader.u32() == CallMessage;
    header.rpcVersion = reader.u32();
    header.program = reader.u32();
    header.version = reader.u32();
    header.procedure = reader.u32();
    skipAuthentication(reader); // credentials
    skipAuthentication(reader); // verifier
    if (!isCall || !reader.ok())
        return std::nullopt;
    return header;
}

Bytes acceptedReply(uint32_t xid, AcceptStat stat, std::span<const uint8_t> results)
{
    XdrWriter writer = replyHeader(xid, Accepted);
    writer.u32(AuthNone).u32(0); // verifier: none, empty
    writer.u32(static_cast<uint32_t>(stat)).raw(results);
    return writer.bytes();
}

Bytes programMismatchReply(uint32_t xid, uint32_t servedVersion)
{
    XdrWriter versions;
    versions.u32(servedVersion).u32(servedVersion); // lowest, highest
    return acceptedReply(xid, AcceptStat::ProgramMismatch, versions.bytes());
}

Bytes rpcMismatchReply(uint32_t xid)
{
    XdrWriter writer = replyHeader(xid, Denied);
    writer.u32(RpcMismatch).u32(RpcVersion).u32(RpcVersion);
    return writer.bytes();
}

} // namespace vxi11
