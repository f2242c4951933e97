#pragma once

#include <cstddef>
#include <fstream>
#include <malloc.h>
#include <string>

namespace test_support {

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's own count (GCC ships no header that declares it).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();

// Under AddressSanitizer freed blocks wait in quarantine before reuse, and
// resident memory follows that queue: compare the heap the program holds.
inline long memoryInUseKilobytes()
{
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
}
#else
// Resident memory, after the allocator has returned its free pages to the
// system: what it keeps for later use varies from run to run.
inline long memoryInUseKilobytes()
{
    malloc_trim(0);
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}
#endif

} // namespace test_support
