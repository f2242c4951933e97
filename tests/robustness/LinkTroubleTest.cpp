// A serial line the panel cannot open: a path with nothing behind it, or a
// port held elsewhere (here by the test itself, which the panel does not
// name: it looks for other programs). Start-up goes on as it always has, the status
// line says why in words and what to do, and no operator change is sent.

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

#include "LinkMonitor.h"
#include "PanelHarness.h"
#include "StatusLine.h"
#include "PseudoTerminal.h"
#include "SerialBridge.h"
#include "SettingScrollBar.h"

using namespace test_support;

namespace {

enum class Trouble { MissingPath, PortHeldByAnotherProgram };

class LinkTrouble : public testing::TestWithParam<Trouble> { };

TEST_P(LinkTrouble, StartUpGoesOnTheStatusLineSaysWhyAndNoChangeIsSent)
{
    PseudoTerminal terminal;
    std::string path = terminal.path();
    std::string reason;
    usblink::SerialBridge holder({ path });
    if (GetParam() == Trouble::MissingPath) {
        path = "/dev/r6140k-no-such-port";
        reason = path + " is not there: unplugged, or its program is not running.";
    } else {
        usblink::DeviceHandle held = 0;
        uint32_t count = 0;
        holder.FT_ListDevices(&count, nullptr, usblink::FT_LIST_NUMBER_ONLY);
        ASSERT_EQ(holder.FT_Open(static_cast<int32_t>(count) - 1, &held), usblink::FT_OK);
        reason = path + " is in use by another program.";
    }
    usblink::SerialBridge serial({ path });
    PanelHarness panel(serial);
    frmMain& m = panel.main;
    EXPECT_TRUE(panel.startUpOn("R6140K " + path));

    EXPECT_EQ(m.lblIDN->text(), "*IDN? = READ ERROR");
    EXPECT_EQ(panel.line.lines, StartUpLines);
    EXPECT_EQ(m.lblLinkStatus->status().toStdString(), reason + " " + panel::LinkMonitor::RetryNote);
    QTest::keyClick(m.scrBB_I_Off, Qt::Key_Up);
    m.cmdMod_ZIN->click();
    m.cmdRST->click();
    EXPECT_EQ(panel.line.lines, StartUpLines);
    EXPECT_EQ(m.scrBB_I_Off->setting(), 0);
}

INSTANTIATE_TEST_SUITE_P(Troubles, LinkTrouble, testing::Values(Trouble::MissingPath, Trouble::PortHeldByAnotherProgram),
    [](const testing::TestParamInfo<Trouble>& info) {
        return std::string(info.param == Trouble::MissingPath ? "MissingPath" : "PortHeldByAnotherProgram");
    });

} // namespace
