#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ModalWindows.h"
#include "PanelHarness.h"
#include "PanelServices.h"
#include "SimulatedBridge.h"

using namespace test_support;

// The first look's panel, without the services for scripts and browsers,
// starts as the whole one does; its Calibrate entry says how to build the
// window rather than do nothing.
TEST(FirstLook, StartsAndItsCalibrateEntrySaysHowToBuildTheWindow)
{
    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };
    app::PanelServices services(panel.session, {});
    QString why;
    ASSERT_TRUE(services.attach(panel.main, &simulator.instrument(), &why)) << why.toStdString();
    panel.startUp();
    SeenMessage seen;
    {
        const auto box = acknowledgeNextMessage(seen);
        panel.main.actCalibrate->trigger();
    }
    EXPECT_EQ(seen.title, "Calibrate");
    EXPECT_THAT(seen.text.toStdString(),
        testing::StartsWith("Calibrating needs the analyzer client and this window, and this build of r6140k-panel "
                            "leaves them out"));
}
