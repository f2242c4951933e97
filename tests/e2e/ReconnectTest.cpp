// The instrument vanishes in the middle of a session and comes back on the
// same path: a link the test re-points from the first simulator's
// pseudo-terminal to a second one's. The panel says the link is gone, sends
// nothing meanwhile, and once the path answers again it sends start-up's
// messages and reads everything back, tried by its own timer.

#include <QLabel>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "Eventually.h"
#include "LinkMonitor.h"
#include "PanelHarness.h"
#include "StatusLine.h"
#include "SerialBridge.h"
#include "SettingScrollBar.h"
#include "SimProcess.h"

using namespace test_support;
using testing::HasSubstr;
using testing::MatchesRegex;

namespace {

// Points the link at target, replacing whatever it pointed at in one step.
void pointLink(const std::string& link, const std::string& target)
{
    const std::string next = link + ".next";
    ASSERT_EQ(::symlink(target.c_str(), next.c_str()), 0);
    ASSERT_EQ(std::rename(next.c_str(), link.c_str()), 0);
}

TEST(Reconnect, TheLossIsShownNothingIsSentAndTheReturnIsIdentifiedAndReadBack)
{
    QTemporaryDir folder;
    const std::string path = folder.filePath("instrument").toStdString();
    auto first = std::make_unique<SimProcess>();
    pointLink(path, first->path());
    usblink::SerialBridge serial({ path });
    PanelHarness panel(serial, std::chrono::milliseconds(20));
    frmMain& m = panel.main;
    EXPECT_TRUE(panel.startUpOn("R6140K " + path));
    ASSERT_EQ(m.lblLinkStatus->status(), "");

    first.reset(); // its pseudo-terminal goes with it
    // At once, before the panel tries again: the freed pseudo-terminal's
    // number may soon belong to another test's instrument.
    pointLink(path, folder.filePath("gone").toStdString());
    ASSERT_TRUE(eventually([&] { return panel.session.linkDown(); }));
    EXPECT_THAT(m.lblLinkStatus->status().toStdString(), HasSubstr(path + " has gone"));
    EXPECT_THAT(m.lblLinkStatus->status().toStdString(), HasSubstr(panel::LinkMonitor::RetryNote));
    const std::size_t linesBefore = panel.line.lines.size();
    QTest::keyClick(m.scrIAtt, Qt::Key_Up);
    m.cmdBB_Swap->click();
    m.cmdRST->click();
    EXPECT_TRUE(eventually([&] { return m.lblLinkStatus->status().contains("is not there"); }))
        << "a reopening attempt meets the missing path";
    EXPECT_EQ(panel.line.lines.size(), linesBefore);
    EXPECT_EQ(m.scrIAtt->setting(), 0);
    EXPECT_EQ(m.state(instrument::SettingId::BasebandSwap), 0);

    SimProcess second({ "--serial", "SIM00002" });
    pointLink(path, second.path());
    ASSERT_TRUE(eventually([&] { return !panel.session.linkDown(); }));
    EXPECT_THAT(m.lblLinkStatus->status().toStdString(),
        MatchesRegex("Another instrument answers now: R6140K Simulator,R6140K,SIM00002,.* \\(before: R6140K "
                     "Simulator,R6140K,SIM00001,.*\\)\\. Every setting was read back from it; undo starts afresh\\."));
    EXPECT_TRUE(m.lblIDN->text().startsWith("*IDN? = R6140K Simulator,R6140K,SIM00002,"))
        << m.lblIDN->text().toStdString();
    EXPECT_EQ(panel.linesSince(linesBefore), StartUpLines);
    panel.session.send("*CLS");
    EXPECT_EQ(second.receivedBefore("*CLS"), StartUpLines);
    EXPECT_EQ(panel.line.closed.size(), 1u) << "the lost device was closed before the path was opened anew";
}

} // namespace
