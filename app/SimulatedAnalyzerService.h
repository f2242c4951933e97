#pragma once

#include <QString>
#include <memory>

#include "SimulatedAnalyzer.h"

namespace app {

// With --simulate the panel serves a simulated spectrum analyzer looking at
// its simulated instrument, on a free loopback port, for the Calibrate
// window. Started once by main(); null when it could not listen (why says
// why).
std::unique_ptr<sim::SimulatedAnalyzer> startSimulatedAnalyzer(const sim::Instrument& instrument, QString* why);

// The VISA resource string of the analyzer started ("TCPIP::127.0.0.1::PORT::SOCKET"),
// or empty when the panel serves none: what the Calibrate window offers.
QString simulatedAnalyzerResource();

} // namespace app
