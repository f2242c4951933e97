#pragma once

#include <cstdint>
#include <optional>
#include <rpc/rpc.h>
#include <span>
#include <utility>

#include "Bytes.h"

// XDR over bytes in memory, and libtirpc's routines as it takes them: what
// the server's and the client's sides of the calls share.
namespace vxi11 {

// An XDR stream over bytes in memory.
class MemoryXdr {
public:
    // Decoding only reads the bytes.
    explicit MemoryXdr(std::span<const uint8_t> bytes, xdr_op op = XDR_DECODE)
    {
        xdrmem_create(&xdr_, reinterpret_cast<char*>(const_cast<uint8_t*>(bytes.data())),
            static_cast<u_int>(bytes.size()), op);
    }
    ~MemoryXdr() { xdr_destroy(&xdr_); }
    MemoryXdr(const MemoryXdr&) = delete;
    MemoryXdr& operator=(const MemoryXdr&) = delete;

    operator XDR*() { return &xdr_; }

private:
    XDR xdr_ {};
};

// An XDR routine as libtirpc takes one, which calls it with the object's
// address (xdr_void with none it reads). By way of void (*)(), the
// conversion's own type, casts between function types are not warned of.
template <class Routine>
xdrproc_t procOf(Routine routine)
{
    return reinterpret_cast<xdrproc_t>(reinterpret_cast<void (*)()>(routine));
}

// The type an XDR routine reads and writes.
template <class Wire>
Wire wireOf(bool_t (*)(XDR*, Wire*));

// Decodes with a routine rpcgen made, converts what it read to a type that
// owns its data, and frees what the routine allocated.
template <auto Routine, class Convert>
auto decodedWith(XDR* in, Convert convert) -> std::optional<decltype(convert(std::declval<decltype(wireOf(Routine))>()))>
{
    decltype(wireOf(Routine)) wire {};
    std::optional<decltype(convert(wire))> converted;
    if (Routine(in, &wire))
        converted = convert(wire);
    xdr_free(procOf(Routine), &wire);
    return converted;
}

// Bytes a generated type holds, copied.
inline Bytes bytesOf(u_int length, const char* data)
{
    return Bytes(data, data + length);
}

// Bytes lent to a generated type for encoding, which only reads them.
inline char* borrowed(const Bytes& data)
{
    return reinterpret_cast<char*>(const_cast<uint8_t*>(data.data()));
}

} // namespace vxi11
