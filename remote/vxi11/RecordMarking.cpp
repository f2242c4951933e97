#include "RecordMarking.h"

namespace vxi11 {

namespace {

constexpr std::size_t HeaderBytes = 4;
constexpr uint32_t LastFragment = 0x80000000u;

// A fragment's header, big-endian.
uint32_t headerAt(const Bytes& buffer, std::size_t offset)
{
    uint32_t word = 0;
    for (std::size_t i = 0; i < HeaderBytes; ++i)
        word = word << 8 | buffer[offset + i];
    return word;
}

} // namespace

void RecordReader::append(std::span<const uint8_t> received)
{
    buffer_.insert(buffer_.end(), received.begin(), received.end());
}

// Walks the fragments from the start of the buffer; the record is taken only
// once its last fragment is whole, so a partial one is read again later.
std::optional<Bytes> RecordReader::next()
{
    Bytes record;
    std::size_t offset = 0;
    while (!failed_ && buffer_.size() - offset >= HeaderBytes) {
        const uint32_t word = headerAt(buffer_, offset);
        const std::size_t length = word & ~LastFragment;
        // Headers count too, so that a stream of empty fragments ends as well.
        if (offset + length > maxRecordBytes_) {
            failed_ = true;
            break;
        }
        if (buffer_.size() - offset - HeaderBytes < length)
            break;
        const auto fragment = buffer_.begin() + static_cast<std::ptrdiff_t>(offset + HeaderBytes);
        record.insert(record.end(), fragment, fragment + static_cast<std::ptrdiff_t>(length));
        offset += HeaderBytes + length;
        if (word & LastFragment) {
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(offset));
            return record;
        }
    }
    return std::nullopt;
}

Bytes asRecord(std::span<const uint8_t> payload)
{
    const uint32_t header = LastFragment | static_cast<uint32_t>(payload.size());
    Bytes record { uint8_t(header >> 24), uint8_t(header >> 16), uint8_t(header >> 8), uint8_t(header) };
    record.insert(record.end(), payload.begin(), payload.end());
    return record;
}

} // namespace vxi11
