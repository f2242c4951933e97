#pragma once

#include <cstdio>
#include <string>

namespace ctl {

// A message for the user, on standard error; standard output carries only
// replies and settings.
inline void tell(const std::string& message)
{
    std::fprintf(stderr, "r6140k-ctl: %s\n", message.c_str());
}

} // namespace ctl
