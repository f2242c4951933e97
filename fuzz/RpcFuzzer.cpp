// The VXI-11 server's input path on arbitrary bytes from a connection:
// record marking (RecordReader, fed in pieces whose size the first byte
// chooses), then each record decoded as a call to the core and to the
// abort channel, the reply to it, and for a read the output it would take.

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "DeviceCalls.h"
#include "RecordMarking.h"
#include "ReplyReading.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool startsWithXidOf(const vxi11::Bytes& reply, std::span<const uint8_t> record)
{
    return reply.size() >= 4 && record.size() >= 4 && std::equal(reply.begin(), reply.begin() + 4, record.begin());
}

// A read against an output of a fixed size takes what it may and says why.
void checkRead(const vxi11::ReadParms& read)
{
    std::string output = "0123456789\n0123456789\n";
    const std::size_t before = output.size();
    const vxi11::ReadResp taken = vxi11::takeOutput(output, read);
    require(taken.data.size() <= read.requestSize && taken.data.size() + output.size() == before);
    require(((taken.reason & vxi11::reason::End) != 0) == output.empty());
}

void checkRecord(std::span<const uint8_t> record)
{
    require(record.size() <= vxi11::MaxRecordBytes);
    for (const uint32_t program : { vxi11::CoreProgram, vxi11::AbortProgram }) {
        const vxi11::Decoded decoded = vxi11::decodeCall(record, program);
        if (!decoded.call) {
            require(decoded.refusal.empty() || startsWithXidOf(decoded.refusal, record));
            continue;
        }
        require(decoded.refusal.empty());
        const vxi11::Call& call = *decoded.call;
        vxi11::linkOf(call.arguments);
        vxi11::lockTimeoutOf(call.arguments);
        const auto error = vxi11::errorResult(call.procedure, vxi11::ErrorCode::OperationNotSupported);
        require(startsWithXidOf(vxi11::resultReply(call.xid, error), record));
        if (const auto* read = std::get_if<vxi11::ReadParms>(&call.arguments))
            checkRead(*read);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = std::size_t(data[0]) * 64 + 1;
    std::span<const uint8_t> stream(data + 1, size - 1);
    vxi11::RecordReader records;
    while (!records.failed()) {
        if (const auto record = records.next()) {
            checkRecord(*record);
            continue;
        }
        if (stream.empty())
            break;
        const std::size_t count = std::min(piece, stream.size());
        records.append(stream.first(count));
        stream = stream.subspan(count);
        require(records.buffered() <= vxi11::MaxRecordBytes + 4 + piece);
    }
    return 0;
}
