#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Calibration.h"

namespace panel {

// One calibration as the Calibrate window drives it: the routine with its
// analyzer connected. The program makes it; the window only runs it, so the
// window needs no analyzer of its own.
class CalibrationRun {
public:
    virtual ~CalibrationRun() = default;
    // Runs to the end, processing events while it waits.
    virtual calibration::Result run(const std::function<void(const calibration::Progress&)>& progress) = 0;
    // Ends the run at its next step, leaving what onAbort says.
    virtual void abort(calibration::OnAbort onAbort) = 0;
    // The settings the run moves.
    virtual std::vector<instrument::SettingId> claimed() const = 0;
};

// Connects to the analyzer named by resource and prepares a run of the
// request; nothing, and why in problem, when the analyzer cannot be reached.
using StartCalibration = std::function<std::unique_ptr<CalibrationRun>(
    const std::string& resource, const calibration::Request& request, std::string& problem)>;

} // namespace panel
