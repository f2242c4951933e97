#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "Bytes.h"

// Record marking of ONC RPC over TCP (RFC 5531, section 11): a stream of
// records, each sent as fragments; a fragment is a four-byte header, whose
// top bit marks a record's last fragment and whose other 31 bits give the
// fragment's length, followed by that many bytes.
namespace vxi11 {

// The most a record may hold, over all its fragments: far more than any call
// the instrument's messages need, and little enough to keep per connection.
inline constexpr std::size_t MaxRecordBytes = 64 * 1024;

// Cuts received bytes into records, each no longer than the bound.
class RecordReader {
public:
    explicit RecordReader(std::size_t maxRecordBytes = MaxRecordBytes)
        : maxRecordBytes_(maxRecordBytes)
    {
    }

    void append(std::span<const uint8_t> received);
    // The next whole record, once all its fragments are in.
    std::optional<Bytes> next();
    // A record went beyond the bound: the stream cannot be read on.
    bool failed() const { return failed_; }
    // Received bytes not yet taken as a record.
    std::size_t buffered() const { return buffer_.size(); }

private:
    std::size_t maxRecordBytes_;
    Bytes buffer_;
    bool failed_ = false;
};

// A record as one fragment.
Bytes asRecord(std::span<const uint8_t> payload);

} // namespace vxi11
