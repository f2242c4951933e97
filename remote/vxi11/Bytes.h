#pragma once

#include <cstdint>
#include <vector>

namespace vxi11 {

// Bytes as they travel: a record, an RPC message, a call's data.
using Bytes = std::vector<uint8_t>;

} // namespace vxi11
