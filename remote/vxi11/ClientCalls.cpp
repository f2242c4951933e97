#include "ClientCalls.h"

#include <array>
#include <netinet/in.h>

#include "MemoryXdr.h"
#include "vxi11.h"

#include <rpc/pmap_prot.h> // after rpc.h, which it needs

namespace vxi11 {

namespace {

// A call's message: its header, without credentials, then its arguments
// encoded by the routine rpcgen made for them. Empty when the arguments are
// beyond the bounds of the interface.
template <class Wire>
Bytes callMessage(uint32_t xid, uint32_t program, uint32_t version, uint32_t procedure,
    bool_t (*routine)(XDR*, Wire*), std::type_identity_t<Wire> wire)
{
    rpc_msg call {};
    call.rm_xid = xid;
    call.rm_direction = CALL;
    call.rm_call.cb_rpcvers = RPC_MSG_VERSION;
    call.rm_call.cb_prog = program;
    call.rm_call.cb_vers = version;
    call.rm_call.cb_proc = procedure;
    call.rm_call.cb_cred = _null_auth;
    call.rm_call.cb_verf = _null_auth;
    Bytes bytes(xdr_sizeof(procOf(xdr_callmsg), &call) + xdr_sizeof(procOf(routine), &wire));
    MemoryXdr out(bytes, XDR_ENCODE);
    if (!xdr_callmsg(out, &call) || !routine(out, &wire))
        return {};
    return bytes;
}

// The client's arguments in the generated types, borrowing their data.
Bytes coreMessage(uint32_t xid, Procedure procedure, const CreateLinkParms& p)
{
    return callMessage(xid, CoreProgram, ProgramVersion, uint32_t(procedure), xdr_Create_LinkParms,
        { p.clientId, p.lockDevice, p.lockTimeout, { u_int(p.device.size()), const_cast<char*>(p.device.data()) } });
}

Bytes coreMessage(uint32_t xid, Procedure procedure, const WriteParms& p)
{
    return callMessage(xid, CoreProgram, ProgramVersion, uint32_t(procedure), xdr_Device_WriteParms,
        { p.link, p.ioTimeout, p.lockTimeout, p.flags, { u_int(p.data.size()), borrowed(p.data) } });
}

Bytes coreMessage(uint32_t xid, Procedure procedure, const ReadParms& p)
{
    return callMessage(xid, CoreProgram, ProgramVersion, uint32_t(procedure), xdr_Device_ReadParms,
        { p.link, p.requestSize, p.ioTimeout, p.lockTimeout, p.flags, p.termChar });
}

Bytes coreMessage(uint32_t xid, Procedure procedure, const LinkParms& p)
{
    return callMessage(xid, CoreProgram, ProgramVersion, uint32_t(procedure), xdr_Device_Link, p.link);
}

// Why an accepted call was not carried out.
std::string notCarriedOut(accept_stat stat)
{
    switch (stat) {
    case PROG_UNAVAIL:
        return "the program is not served there";
    case PROG_MISMATCH:
        return "the program's version is not served there";
    case PROC_UNAVAIL:
        return "the procedure is not served there";
    case GARBAGE_ARGS:
        return "the server took the arguments for garbage";
    default:
        return "the server failed to carry the call out";
    }
}

// Reads a reply's header through libtirpc, its verifier into a buffer of
// the most it may hold; the stream is then at the results. Empty when the
// call was carried out, nullopt for another call's reply.
std::optional<std::string> headerProblem(XDR* in, uint32_t xid)
{
    std::array<char, MAX_AUTH_BYTES> verifier;
    rpc_msg reply {};
    reply.acpted_rply.ar_verf.oa_base = verifier.data();
    reply.acpted_rply.ar_results = { nullptr, procOf(xdr_void) };
    if (!xdr_replymsg(in, &reply))
        return "the reply is no RPC reply";
    if (reply.rm_xid != xid)
        return std::nullopt;
    if (reply.rm_reply.rp_stat != MSG_ACCEPTED)
        return "the server refused the call (RPC version or authentication)";
    if (reply.acpted_rply.ar_stat != SUCCESS)
        return notCarriedOut(reply.acpted_rply.ar_stat);
    return std::string();
}

// The generated results as the client's own, which own their data.
Result resultOf(const Create_LinkResp& r)
{
    return CreateLinkResp { ErrorCode(r.error), r.lid, r.abortPort, r.maxRecvSize };
}

Result resultOf(const Device_WriteResp& r)
{
    return WriteResp { ErrorCode(r.error), r.size };
}

Result resultOf(const Device_ReadResp& r)
{
    return ReadResp { ErrorCode(r.error), r.reason, bytesOf(r.data.data_len, r.data.data_val) };
}

Result resultOf(const Device_Error& r)
{
    return DeviceError { ErrorCode(r.error) };
}

template <auto Routine>
std::optional<Result> decodeResult(XDR* in)
{
    return decodedWith<Routine>(in, [](const auto& wire) { return resultOf(wire); });
}

std::optional<Result> resultOfCall(Procedure procedure, XDR* in)
{
    switch (procedure) {
    case Procedure::CreateLink:
        return decodeResult<xdr_Create_LinkResp>(in);
    case Procedure::DeviceWrite:
        return decodeResult<xdr_Device_WriteResp>(in);
    case Procedure::DeviceRead:
        return decodeResult<xdr_Device_ReadResp>(in);
    default: // destroy_link's, as most calls' result
        return decodeResult<xdr_Device_Error>(in);
    }
}

constexpr const char* UnreadableResults = "the reply's results do not decode";

} // namespace

Bytes coreCall(uint32_t xid, Procedure procedure, const ClientArguments& arguments)
{
    return std::visit([&](const auto& parms) { return coreMessage(xid, procedure, parms); }, arguments);
}

Bytes portQuery(uint32_t xid)
{
    return callMessage(xid, PMAPPROG, PMAPVERS, PMAPPROC_GETPORT, xdr_pmap,
        { CoreProgram, ProgramVersion, IPPROTO_TCP, 0 });
}

std::optional<CoreReply> coreReply(std::span<const uint8_t> message, uint32_t xid, Procedure procedure)
{
    MemoryXdr in(message);
    const std::optional<std::string> problem = headerProblem(in, xid);
    if (!problem || !problem->empty())
        return problem ? std::optional(CoreReply { {}, *problem }) : std::nullopt;
    if (std::optional<Result> result = resultOfCall(procedure, in))
        return CoreReply { std::move(*result), {} };
    return CoreReply { {}, UnreadableResults };
}

std::optional<PortReply> portReply(std::span<const uint8_t> message, uint32_t xid)
{
    MemoryXdr in(message);
    const std::optional<std::string> problem = headerProblem(in, xid);
    if (!problem || !problem->empty())
        return problem ? std::optional(PortReply { 0, *problem }) : std::nullopt;
    u_int port = 0;
    if (!xdr_u_int(in, &port) || port > 65535)
        return PortReply { 0, UnreadableResults };
    return PortReply { port, {} };
}

std::string meaningOf(ErrorCode error)
{
    switch (error) {
    case ErrorCode::None:
        return "no error";
    case ErrorCode::Syntax:
        return "syntax error";
    case ErrorCode::DeviceNotAccessible:
        return "device not accessible";
    case ErrorCode::InvalidLink:
        return "invalid link identifier";
    case ErrorCode::Parameter:
        return "parameter error";
    case ErrorCode::ChannelNotEstablished:
        return "channel not established";
    case ErrorCode::OperationNotSupported:
        return "operation not supported";
    case ErrorCode::OutOfResources:
        return "out of resources";
    case ErrorCode::LockedByAnotherLink:
        return "device locked by another link";
    case ErrorCode::NoLockHeld:
        return "no lock held by this link";
    case ErrorCode::IoTimeout:
        return "I/O time-out";
    case ErrorCode::IoError:
        return "I/O error";
    case ErrorCode::InvalidAddress:
        return "invalid address";
    case ErrorCode::Abort:
        return "aborted";
    case ErrorCode::ChannelAlreadyEstablished:
        return "channel already established";
    }
    return "an error the protocol does not name";
}

} // namespace vxi11
