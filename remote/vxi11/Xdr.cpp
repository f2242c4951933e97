#include "Xdr.h"

namespace vxi11 {

namespace {

constexpr std::size_t Unit = 4;

std::size_t padded(std::size_t length)
{
    return (length + Unit - 1) / Unit * Unit;
}

} // namespace

std::span<const uint8_t> XdrReader::take(std::size_t count)
{
    if (!ok_ || count > bytes_.size()) {
        ok_ = false;
        return {};
    }
    const auto taken = bytes_.first(count);
    bytes_ = bytes_.subspan(count);
    return taken;
}

uint32_t XdrReader::u32()
{
    const auto word = take(Unit);
    if (word.empty())
        return 0;
    return uint32_t(word[0]) << 24 | uint32_t(word[1]) << 16 | uint32_t(word[2]) << 8 | uint32_t(word[3]);
}

bool XdrReader::boolean()
{
    const uint32_t value = u32();
    if (value > 1)
        ok_ = false;
    return ok_ && value == 1;
}

Bytes XdrReader::opaque(std::size_t maxLength)
{
    const uint32_t length = u32();
    if (length > maxLength)
        ok_ = false;
    const auto data = take(ok_ ? padded(length) : 0);
    if (!ok_)
        return {};
    return Bytes(data.begin(), data.begin() + length);
}

std::string XdrReader::string(std::size_t maxLength)
{
    const Bytes data = opaque(maxLength);
    return std::string(data.begin(), data.end());
}

XdrWriter& XdrWriter::u32(uint32_t value)
{
    const uint8_t word[Unit] = { uint8_t(value >> 24), uint8_t(value >> 16), uint8_t(value >> 8), uint8_t(value) };
    return raw(word);
}

XdrWriter& XdrWriter::opaque(std::span<const uint8_t> data)
{
    u32(static_cast<uint32_t>(data.size()));
    raw(data);
    bytes_.resize(bytes_.size() + padded(data.size()) - data.size(), 0);
    return *this;
}

XdrWriter& XdrWriter::raw(std::span<const uint8_t> encoded)
{
    bytes_.insert(bytes_.end(), encoded.begin(), encoded.end());
    return *this;
}

} // namespace vxi11
