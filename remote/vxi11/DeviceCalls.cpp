#include "DeviceCalls.h"

#include <algorithm>
#include <array>
#include <bit>
#include <iterator>
#include <optional>

#include "MemoryXdr.h"
#include "RecordMarking.h"
#include "vxi11.h"

namespace vxi11 {

namespace {

static_assert(CoreProgram == DEVICE_CORE && AbortProgram == DEVICE_ASYNC);
static_assert(ProgramVersion == DEVICE_CORE_VERSION && ProgramVersion == DEVICE_ASYNC_VERSION);
static_assert(MaxRecordBytes == MAX_RECORD_BYTES);

// The generated arguments as the server's own, which own their data.
Arguments argumentsOf(const Device_Link& p)
{
    return LinkParms { p };
}

Arguments argumentsOf(const Create_LinkParms& p)
{
    const Bytes device = bytesOf(p.device.device_len, p.device.device_val);
    return CreateLinkParms { p.clientId, p.lockDevice == TRUE, p.lock_timeout, std::string(device.begin(), device.end()) };
}

Arguments argumentsOf(const Device_WriteParms& p)
{
    return WriteParms { p.lid, p.io_timeout, p.lock_timeout, p.flags, bytesOf(p.data.data_len, p.data.data_val) };
}

Arguments argumentsOf(const Device_ReadParms& p)
{
    return ReadParms { p.lid, p.requestSize, p.io_timeout, p.lock_timeout, p.flags, p.termChar };
}

Arguments argumentsOf(const Device_GenericParms& p)
{
    return GenericParms { p.lid, p.flags, p.lock_timeout, p.io_timeout };
}

Arguments argumentsOf(const Device_LockParms& p)
{
    return LockParms { p.lid, p.flags, p.lock_timeout };
}

Arguments argumentsOf(const Device_EnableSrqParms& p)
{
    return EnableSrqParms { p.lid, p.enable == TRUE, bytesOf(p.handle.handle_len, p.handle.handle_val) };
}

Arguments argumentsOf(const Device_DocmdParms& p)
{
    return DocmdParms { p.lid, p.flags, p.io_timeout, p.lock_timeout, p.cmd, p.network_order == TRUE, p.datasize,
        bytesOf(p.data_in.data_in_len, p.data_in.data_in_val) };
}

// The family as the word that came: xdr_enum takes any, which the enum type
// need not hold.
Arguments argumentsOf(const Device_RemoteFunc& p)
{
    return RemoteFunc { p.hostAddr, p.hostPort, p.progNum, p.progVers, std::bit_cast<int32_t>(p.progFamily) };
}

// Decodes a procedure's arguments with the routine rpcgen made for them.
template <auto Routine>
std::optional<Arguments> decodeWith(XDR* in)
{
    return decodedWith<Routine>(in, [](const auto& wire) { return argumentsOf(wire); });
}

std::optional<Arguments> decodeNothing(XDR*)
{
    return Arguments {};
}

template <class Resp>
Result failingAs(ErrorCode error)
{
    Resp result;
    if constexpr (!std::is_same_v<Resp, std::monostate>)
        result.error = error;
    return result;
}

// Each procedure: its program, how its arguments are read, and the shape
// of its result.
struct ProcedureRow {
    Procedure procedure;
    uint32_t program;
    std::optional<Arguments> (*decode)(XDR*);
    Result (*failing)(ErrorCode);
};

constexpr uint32_t EitherProgram = 0;

constexpr ProcedureRow Procedures[] = {
    { Procedure::Null, EitherProgram, decodeNothing, failingAs<std::monostate> },
    { Procedure::DeviceAbort, AbortProgram, decodeWith<xdr_Device_Link>, failingAs<DeviceError> },
    { Procedure::CreateLink, CoreProgram, decodeWith<xdr_Create_LinkParms>, failingAs<CreateLinkResp> },
    { Procedure::DeviceWrite, CoreProgram, decodeWith<xdr_Device_WriteParms>, failingAs<WriteResp> },
    { Procedure::DeviceRead, CoreProgram, decodeWith<xdr_Device_ReadParms>, failingAs<ReadResp> },
    { Procedure::DeviceReadStb, CoreProgram, decodeWith<xdr_Device_GenericParms>, failingAs<ReadStbResp> },
    { Procedure::DeviceTrigger, CoreProgram, decodeWith<xdr_Device_GenericParms>, failingAs<DeviceError> },
    { Procedure::DeviceClear, CoreProgram, decodeWith<xdr_Device_GenericParms>, failingAs<DeviceError> },
    { Procedure::DeviceRemote, CoreProgram, decodeWith<xdr_Device_GenericParms>, failingAs<DeviceError> },
    { Procedure::DeviceLocal, CoreProgram, decodeWith<xdr_Device_GenericParms>, failingAs<DeviceError> },
    { Procedure::DeviceLock, CoreProgram, decodeWith<xdr_Device_LockParms>, failingAs<DeviceError> },
    { Procedure::DeviceUnlock, CoreProgram, decodeWith<xdr_Device_Link>, failingAs<DeviceError> },
    { Procedure::DeviceEnableSrq, CoreProgram, decodeWith<xdr_Device_EnableSrqParms>, failingAs<DeviceError> },
    { Procedure::DeviceDocmd, CoreProgram, decodeWith<xdr_Device_DocmdParms>, failingAs<DocmdResp> },
    { Procedure::DestroyLink, CoreProgram, decodeWith<xdr_Device_Link>, failingAs<DeviceError> },
    { Procedure::CreateInterruptChannel, CoreProgram, decodeWith<xdr_Device_RemoteFunc>, failingAs<DeviceError> },
    { Procedure::DestroyInterruptChannel, CoreProgram, decodeNothing, failingAs<DeviceError> },
};

const ProcedureRow* rowOf(Procedure procedure, uint32_t program)
{
    const auto row = std::ranges::find_if(Procedures, [&](const ProcedureRow& r) {
        return r.procedure == procedure && (r.program == program || r.program == EitherProgram);
    });
    return row == std::end(Procedures) ? nullptr : row;
}

rpc_msg replyTo(uint32_t xid, reply_stat stat)
{
    rpc_msg reply {}; // a verifier of none, empty
    reply.rm_xid = xid;
    reply.rm_direction = REPLY;
    reply.rm_reply.rp_stat = stat;
    return reply;
}

// A reply as libtirpc encodes it. Results are bounded by what the server
// keeps; beyond the bounds of the interface, the reply says the call failed.
Bytes encoded(rpc_msg& reply)
{
    Bytes bytes(xdr_sizeof(procOf(xdr_replymsg), &reply));
    MemoryXdr out(bytes, XDR_ENCODE);
    if (xdr_replymsg(out, &reply))
        return bytes;
    rpc_msg failed = replyTo(reply.rm_xid, MSG_ACCEPTED);
    failed.acpted_rply.ar_stat = SYSTEM_ERR;
    return encoded(failed);
}

Bytes acceptedReply(uint32_t xid, accept_stat stat, xdrproc_t results = procOf(xdr_void), void* where = nullptr)
{
    rpc_msg reply = replyTo(xid, MSG_ACCEPTED);
    reply.acpted_rply.ar_stat = stat;
    reply.acpted_rply.ar_results = { static_cast<caddr_t>(where), results };
    return encoded(reply);
}

Bytes programMismatchReply(uint32_t xid)
{
    rpc_msg reply = replyTo(xid, MSG_ACCEPTED);
    reply.acpted_rply.ar_stat = PROG_MISMATCH;
    reply.acpted_rply.ar_vers = { ProgramVersion, ProgramVersion };
    return encoded(reply);
}

Bytes rpcMismatchReply(uint32_t xid)
{
    rpc_msg reply = replyTo(xid, MSG_DENIED);
    reply.rjcted_rply.rj_stat = RPC_MISMATCH;
    reply.rjcted_rply.rj_vers = { RPC_MSG_VERSION, RPC_MSG_VERSION };
    return encoded(reply);
}

// The results in the generated types, borrowing the data of the server's
// own.
template <class Wire>
Bytes successReply(uint32_t xid, bool_t (*routine)(XDR*, Wire*), std::type_identity_t<Wire> wire)
{
    return acceptedReply(xid, SUCCESS, procOf(routine), &wire);
}

Bytes replyWith(uint32_t xid, const std::monostate&)
{
    return acceptedReply(xid, SUCCESS);
}

Bytes replyWith(uint32_t xid, const DeviceError& r)
{
    return successReply(xid, xdr_Device_Error, { int(r.error) });
}

Bytes replyWith(uint32_t xid, const CreateLinkResp& r)
{
    return successReply(xid, xdr_Create_LinkResp, { int(r.error), r.link, r.abortPort, r.maxRecvSize });
}

Bytes replyWith(uint32_t xid, const WriteResp& r)
{
    return successReply(xid, xdr_Device_WriteResp, { int(r.error), r.size });
}

Bytes replyWith(uint32_t xid, const ReadResp& r)
{
    return successReply(xid, xdr_Device_ReadResp, { int(r.error), r.reason, { u_int(r.data.size()), borrowed(r.data) } });
}

Bytes replyWith(uint32_t xid, const ReadStbResp& r)
{
    return successReply(xid, xdr_Device_ReadStbResp, { int(r.error), r.statusByte });
}

Bytes replyWith(uint32_t xid, const DocmdResp& r)
{
    return successReply(xid, xdr_Device_DocmdResp, { int(r.error), { u_int(r.dataOut.size()), borrowed(r.dataOut) } });
}

// A call in another version of RPC, whose first words say so: its xid. Past
// them, its layout need not be version 2's.
std::optional<uint32_t> otherRpcVersionCall(std::span<const uint8_t> record)
{
    MemoryXdr in(record);
    uint32_t xid = 0, direction = 0, version = 0;
    if (xdr_u_int32_t(in, &xid) && xdr_u_int32_t(in, &direction) && xdr_u_int32_t(in, &version)
        && direction == CALL && version != RPC_MSG_VERSION)
        return xid;
    return std::nullopt;
}

} // namespace

// The call's header through libtirpc, whose credentials and verifier go to
// buffers of the most they may hold, so that nothing is allocated for them.
// The served programs have no authentication: they are not checked.
Decoded decodeCall(std::span<const uint8_t> record, uint32_t program)
{
    std::array<char, MAX_AUTH_BYTES> credentials, verifier;
    rpc_msg call {};
    call.rm_call.cb_cred.oa_base = credentials.data();
    call.rm_call.cb_verf.oa_base = verifier.data();
    MemoryXdr in(record);
    if (!xdr_callmsg(in, &call)) {
        if (const std::optional<uint32_t> xid = otherRpcVersionCall(record))
            return { std::nullopt, rpcMismatchReply(*xid) };
        return {};
    }
    const uint32_t xid = call.rm_xid;
    if (call.rm_call.cb_prog != program)
        return { std::nullopt, acceptedReply(xid, PROG_UNAVAIL) };
    if (call.rm_call.cb_vers != ProgramVersion)
        return { std::nullopt, programMismatchReply(xid) };
    const auto procedure = static_cast<Procedure>(call.rm_call.cb_proc);
    const ProcedureRow* row = rowOf(procedure, program);
    if (!row)
        return { std::nullopt, acceptedReply(xid, PROC_UNAVAIL) };
    std::optional<Arguments> arguments = row->decode(in);
    if (!arguments)
        return { std::nullopt, acceptedReply(xid, GARBAGE_ARGS) };
    return { Call { xid, procedure, std::move(*arguments) }, {} };
}

std::optional<LinkId> linkOf(const Arguments& arguments)
{
    return std::visit(
        [](const auto& parms) -> std::optional<LinkId> {
            if constexpr (requires { parms.link; })
                return parms.link;
            else
                return std::nullopt;
        },
        arguments);
}

uint32_t lockTimeoutOf(const Arguments& arguments)
{
    return std::visit(
        [](const auto& parms) -> uint32_t {
            if constexpr (requires { parms.lockTimeout; })
                return parms.lockTimeout;
            else
                return 0;
        },
        arguments);
}

Result errorResult(Procedure procedure, ErrorCode error)
{
    const auto row = std::ranges::find(Procedures, procedure, &ProcedureRow::procedure);
    return row == std::end(Procedures) ? Result { DeviceError { error } } : row->failing(error);
}

Bytes resultReply(uint32_t xid, const Result& result)
{
    return std::visit([xid](const auto& r) { return replyWith(xid, r); }, result);
}

} // namespace vxi11
