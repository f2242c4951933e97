#pragma once

#include <string>

#include "CtlOptions.h"

namespace ctl {

// Exit statuses of r6140k-ctl.
inline constexpr int Done = 0;
inline constexpr int Failed = 1; // the instrument or its line failed, or a setup was refused
inline constexpr int UsageError = 2;

// Tells the message on stderr and returns Failed.
int fail(const std::string& message);

// Carries out the command the options name: replies and settings on
// stdout, messages on stderr. Returns the exit status.
int runCommand(const CtlOptions& options);

} // namespace ctl
