#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>

#include "Bytes.h"

// The VXI-11 messages (the TCP/IP Instrument Protocol of the VXIbus
// Consortium): the core channel's procedures and the abort channel's one,
// their arguments and their results, and what a record received by a
// server of either channel asks of it.
namespace vxi11 {

inline constexpr uint32_t CoreProgram = 0x0607AF;
inline constexpr uint32_t AbortProgram = 0x0607B0;
inline constexpr uint32_t ProgramVersion = 1;

enum class Procedure : uint32_t {
    Null = 0, // every program's: answers nothing, for a client to see the server is there
    DeviceAbort = 1, // the abort channel's only one
    CreateLink = 10,
    DeviceWrite = 11,
    DeviceRead = 12,
    DeviceReadStb = 13,
    DeviceTrigger = 14,
    DeviceClear = 15,
    DeviceRemote = 16,
    DeviceLocal = 17,
    DeviceLock = 18,
    DeviceUnlock = 19,
    DeviceEnableSrq = 20,
    DeviceDocmd = 22,
    DestroyLink = 23,
    CreateInterruptChannel = 25,
    DestroyInterruptChannel = 26,
};

enum class ErrorCode : int32_t {
    None = 0,
    Syntax = 1,
    DeviceNotAccessible = 3,
    InvalidLink = 4,
    Parameter = 5,
    ChannelNotEstablished = 6,
    OperationNotSupported = 8,
    OutOfResources = 9,
    LockedByAnotherLink = 11,
    NoLockHeld = 12,
    IoTimeout = 15,
    IoError = 17,
    InvalidAddress = 21,
    Abort = 23,
    ChannelAlreadyEstablished = 29,
};

// Bits of a call's flags.
namespace flag {
inline constexpr int32_t WaitLock = 0x01;
inline constexpr int32_t End = 0x08; // the write ends a message
inline constexpr int32_t TermCharSet = 0x80; // a read ends at termChar
}

// Bits of a read's reason: why it ended.
namespace reason {
inline constexpr int32_t RequestCount = 0x01;
inline constexpr int32_t TermChar = 0x02;
inline constexpr int32_t End = 0x04;
}

using LinkId = int32_t;

// device_abort, device_unlock and destroy_link name only a link.
struct LinkParms {
    LinkId link = 0;
};
struct CreateLinkParms {
    int32_t clientId = 0;
    bool lockDevice = false;
    uint32_t lockTimeout = 0;
    std::string device;
};
struct WriteParms {
    LinkId link = 0;
    uint32_t ioTimeout = 0;
    uint32_t lockTimeout = 0;
    int32_t flags = 0;
    Bytes data;
};
struct ReadParms {
    LinkId link = 0;
    uint32_t requestSize = 0;
    uint32_t ioTimeout = 0;
    uint32_t lockTimeout = 0;
    int32_t flags = 0;
    char termChar = 0;
};
struct GenericParms {
    LinkId link = 0;
    int32_t flags = 0;
    uint32_t lockTimeout = 0;
    uint32_t ioTimeout = 0;
};
struct LockParms {
    LinkId link = 0;
    int32_t flags = 0;
    uint32_t lockTimeout = 0;
};
struct EnableSrqParms {
    LinkId link = 0;
    bool enable = false;
    Bytes handle;
};
struct DocmdParms {
    LinkId link = 0;
    int32_t flags = 0;
    uint32_t ioTimeout = 0;
    uint32_t lockTimeout = 0;
    int32_t command = 0;
    bool networkOrder = false;
    int32_t dataSize = 0;
    Bytes dataIn;
};
struct RemoteFunc {
    uint32_t hostAddress = 0;
    uint32_t hostPort = 0;
    uint32_t program = 0;
    uint32_t version = 0;
    int32_t family = 0;
};

// No arguments: std::monostate.
using Arguments = std::variant<std::monostate, LinkParms, CreateLinkParms, WriteParms, ReadParms, GenericParms,
    LockParms, EnableSrqParms, DocmdParms, RemoteFunc>;

struct Call {
    uint32_t xid = 0;
    Procedure procedure = Procedure::Null;
    Arguments arguments;
};

// What a record asks of the server of a program: a call to carry out; or,
// for a call that cannot be carried out (another program or version, an
// unknown procedure, arguments that do not decode), the reply that says so;
// or neither, when the record is no call at all and the connection is to
// be closed.
struct Decoded {
    std::optional<Call> call;
    Bytes refusal;
};
Decoded decodeCall(std::span<const uint8_t> record, uint32_t program);

// The link a call concerns; none for create_link and the calls without one.
std::optional<LinkId> linkOf(const Arguments& arguments);
// How long a call on a link waits for another link's lock, in milliseconds.
uint32_t lockTimeoutOf(const Arguments& arguments);

struct DeviceError {
    ErrorCode error = ErrorCode::None;
};
struct CreateLinkResp {
    ErrorCode error = ErrorCode::None;
    LinkId link = 0;
    uint16_t abortPort = 0;
    uint32_t maxRecvSize = 0;
};
struct WriteResp {
    ErrorCode error = ErrorCode::None;
    uint32_t size = 0;
};
struct ReadResp {
    ErrorCode error = ErrorCode::None;
    int32_t reason = 0;
    Bytes data;
};
struct ReadStbResp {
    ErrorCode error = ErrorCode::None;
    uint8_t statusByte = 0;
};
struct DocmdResp {
    ErrorCode error = ErrorCode::None;
    Bytes dataOut;
};

// No result: std::monostate (the null procedure's).
using Result = std::variant<std::monostate, DeviceError, CreateLinkResp, WriteResp, ReadResp, ReadStbResp, DocmdResp>;

// The result with which a procedure reports an error, in the shape of its
// own result.
Result errorResult(Procedure procedure, ErrorCode error);
// The reply that carries a call's result.
Bytes resultReply(uint32_t xid, const Result& result);

} // namespace vxi11
