#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

// External Data Representation (RFC 4506), as far as ONC RPC and VXI-11 use
// it: every item takes a multiple of four bytes, big-endian, and variable
// data carries its length first and is padded with zeros to four bytes.
namespace vxi11 {

using Bytes = std::vector<uint8_t>;

// Reads items from received bytes. A read past the end, or a value out of
// its range, makes the reader fail for good; the reads after it give zeros,
// so a decoder reads a whole structure and asks ok() once.
class XdrReader {
public:
    explicit XdrReader(std::span<const uint8_t> bytes)
        : bytes_(bytes)
    {
    }

    uint32_t u32();
    int32_t i32() { return static_cast<int32_t>(u32()); }
    bool boolean();
    // Variable-length data of at most maxLength bytes.
    Bytes opaque(std::size_t maxLength);
    std::string string(std::size_t maxLength);

    bool ok() const { return ok_; }

private:
    std::span<const uint8_t> take(std::size_t count);

    std::span<const uint8_t> bytes_;
    bool ok_ = true;
};

// Writes items.
class XdrWriter {
public:
    XdrWriter& u32(uint32_t value);
    XdrWriter& i32(int32_t value) { return u32(static_cast<uint32_t>(value)); }
    XdrWriter& boolean(bool value) { return u32(value ? 1 : 0); }
    XdrWriter& opaque(std::span<const uint8_t> data);
    XdrWriter& raw(std::span<const uint8_t> encoded);

    const Bytes& bytes() const { return bytes_; }

private:
    Bytes bytes_;
};

} // namespace vxi11
