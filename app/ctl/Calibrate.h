#pragma once

#include "Connection.h"
#include "CtlOptions.h"

namespace ctl {

// Runs the calibration on the connected instrument with the analyzer the
// options name, tells its progress and result, keeps the result where asked.
int calibrate(Connection& connection, const CtlOptions& options);

} // namespace ctl
