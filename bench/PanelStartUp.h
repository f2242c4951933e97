#pragma once

#include <string>

#include "BenchReport.h"
#include "PanelHarness.h"

namespace bench {

// Widgets without a display, as in the tests, unless a platform is chosen.
inline void useOffscreenUnlessChosen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the panel's start-up headless, choosing the chooser's entry with the
// given text; a benchmark on any other device would measure the wrong line.
inline void startUpOn(test_support::PanelHarness& panel, const std::string& entry)
{
    if (!panel.startUpOn(entry))
        fail("the chooser does not offer " + entry);
}

} // namespace bench
