#pragma once

#include <QString>

#include "CalibrationRun.h"
#include "InstrumentSession.h"

class frmMain;

namespace app {

// What the Calibrate window starts: the analyzer client connected to the
// resource typed or chosen, then the routine in the panel's session.
panel::StartCalibration calibrationStart(session::InstrumentSession& session);

// Gives the main window its Calibrate window, made when first opened, whose
// list of analyzers holds first the simulated one when given, then those
// found by mDNS.
void offerCalibrateWindow(frmMain& window, const QString& simulatedAnalyzer = {});

} // namespace app
