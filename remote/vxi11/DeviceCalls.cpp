#include "DeviceCalls.h"

#include <algorithm>
#include <iterator>

#include "RecordMarking.h"
#include "Rpc.h"

namespace vxi11 {

namespace {

// Variable-length data is bounded by the record that carries it.
constexpr std::size_t AnyLength = MaxRecordBytes;
// The handle of device_enable_srq is at most 40 bytes.
constexpr std::size_t MaxSrqHandle = 40;

void read(XdrReader&, std::monostate&) { }

void read(XdrReader& in, LinkParms& p)
{
    p.link = in.i32();
}

void read(XdrReader& in, CreateLinkParms& p)
{
    p.clientId = in.i32();
    p.lockDevice = in.boolean();
    p.lockTimeout = in.u32();
    p.device = in.string(AnyLength);
}

void read(XdrReader& in, WriteParms& p)
{
    p.link = in.i32();
    p.ioTimeout = in.u32();
    p.lockTimeout = in.u32();
    p.flags = in.i32();
    p.data = in.opaque(AnyLength);
}

void read(XdrReader& in, ReadParms& p)
{
    p.link = in.i32();
    p.requestSize = in.u32();
    p.ioTimeout = in.u32();
    p.lockTimeout = in.u32();
    p.flags = in.i32();
    p.termChar = static_cast<char>(in.i32());
}

void read(XdrReader& in, GenericParms& p)
{
    p.link = in.i32();
    p.flags = in.i32();
    p.lockTimeout = in.u32();
    p.ioTimeout = in.u32();
}

void read(XdrReader& in, LockParms& p)
{
    p.link = in.i32();
    p.flags = in.i32();
    p.lockTimeout = in.u32();
}

void read(XdrReader& in, EnableSrqParms& p)
{
    p.link = in.i32();
    p.enable = in.boolean();
    p.handle = in.opaque(MaxSrqHandle);
}

void read(XdrReader& in, DocmdParms& p)
{
    p.link = in.i32();
    p.flags = in.i32();
    p.ioTimeout = in.u32();
    p.lockTimeout = in.u32();
    p.command = in.i32();
    p.networkOrder = in.boolean();
    p.dataSize = in.i32();
    p.dataIn = in.opaque(AnyLength);
}

void read(XdrReader& in, RemoteFunc& p)
{
    p.hostAddress = in.u32();
    p.hostPort = in.u32();
    p.program = in.u32();
    p.version = in.u32();
    p.family = in.i32();
}

template <class Parms>
Arguments decodeAs(XdrReader& in)
{
    Parms parms;
    read(in, parms);
    return parms;
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
    Arguments (*decode)(XdrReader&);
    Result (*failing)(ErrorCode);
};

constexpr uint32_t EitherProgram = 0;

constexpr ProcedureRow Procedures[] = {
    { Procedure::Null, EitherProgram, decodeAs<std::monostate>, failingAs<std::monostate> },
    { Procedure::DeviceAbort, AbortProgram, decodeAs<LinkParms>, failingAs<DeviceError> },
    { Procedure::CreateLink, CoreProgram, decodeAs<CreateLinkParms>, failingAs<CreateLinkResp> },
    { Procedure::DeviceWrite, CoreProgram, decodeAs<WriteParms>, failingAs<WriteResp> },
    { Procedure::DeviceRead, CoreProgram, decodeAs<ReadParms>, failingAs<ReadResp> },
    { Procedure::DeviceReadStb, CoreProgram, decodeAs<GenericParms>, failingAs<ReadStbResp> },
    { Procedure::DeviceTrigger, CoreProgram, decodeAs<GenericParms>, failingAs<DeviceError> },
    { Procedure::DeviceClear, CoreProgram, decodeAs<GenericParms>, failingAs<DeviceError> },
    { Procedure::DeviceRemote, CoreProgram, decodeAs<GenericParms>, failingAs<DeviceError> },
    { Procedure::DeviceLocal, CoreProgram, decodeAs<GenericParms>, failingAs<DeviceError> },
    { Procedure::DeviceLock, CoreProgram, decodeAs<LockParms>, failingAs<DeviceError> },
    { Procedure::DeviceUnlock, CoreProgram, decodeAs<LinkParms>, failingAs<DeviceError> },
    { Procedure::DeviceEnableSrq, CoreProgram, decodeAs<EnableSrqParms>, failingAs<DeviceError> },
    { Procedure::DeviceDocmd, CoreProgram, decodeAs<DocmdParms>, failingAs<DocmdResp> },
    { Procedure::DestroyLink, CoreProgram, decodeAs<LinkParms>, failingAs<DeviceError> },
    { Procedure::CreateInterruptChannel, CoreProgram, decodeAs<RemoteFunc>, failingAs<DeviceError> },
    { Procedure::DestroyInterruptChannel, CoreProgram, decodeAs<std::monostate>, failingAs<DeviceError> },
};

const ProcedureRow* rowOf(Procedure procedure, uint32_t program)
{
    const auto row = std::ranges::find_if(Procedures, [&](const ProcedureRow& r) {
        return r.procedure == procedure && (r.program == program || r.program == EitherProgram);
    });
    return row == std::end(Procedures) ? nullptr : row;
}

void write(XdrWriter&, const std::monostate&) { }

void write(XdrWriter& out, const DeviceError& r)
{
    out.i32(static_cast<int32_t>(r.error));
}

void write(XdrWriter& out, const CreateLinkResp& r)
{
    out.i32(static_cast<int32_t>(r.error)).i32(r.link).u32(r.abortPort).u32(r.maxRecvSize);
}

void write(XdrWriter& out, const WriteResp& r)
{
    out.i32(static_cast<int32_t>(r.error)).u32(r.size);
}

void write(XdrWriter& out, const ReadResp& r)
{
    out.i32(static_cast<int32_t>(r.error)).i32(r.reason).opaque(r.data);
}

void write(XdrWriter& out, const ReadStbResp& r)
{
    out.i32(static_cast<int32_t>(r.error)).u32(r.statusByte);
}

void write(XdrWriter& out, const DocmdResp& r)
{
    out.i32(static_cast<int32_t>(r.error)).opaque(r.dataOut);
}

} // namespace

Decoded decodeCall(std::span<const uint8_t> record, uint32_t program)
{
    XdrReader in(record);
    const std::optional<CallHeader> header = readCallHeader(in);
    if (!header)
        return {};
    const uint32_t xid = header->xid;
    if (header->rpcVersion != RpcVersion)
        return { std::nullopt, rpcMismatchReply(xid) };
    if (header->program != program)
        return { std::nullopt, acceptedReply(xid, AcceptStat::ProgramUnavailable) };
    if (header->version != ProgramVersion)
        return { std::nullopt, programMismatchReply(xid, ProgramVersion) };
    const auto procedure = static_cast<Procedure>(header->procedure);
    const ProcedureRow* row = rowOf(procedure, program);
    if (!row)
        return { std::nullopt, acceptedReply(xid, AcceptStat::ProcedureUnavailable) };
    Arguments arguments = row->decode(in);
    if (!in.ok())
        return { std::nullopt, acceptedReply(xid, AcceptStat::GarbageArguments) };
    return { Call { xid, procedure, std::move(arguments) }, {} };
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
    XdrWriter out;
    std::visit([&out](const auto& r) { write(out, r); }, result);
    return acceptedReply(xid, AcceptStat::Success, out.bytes());
}

} // namespace vxi11
