// The panel on the serial backend, in a real serial session with r6140k-sim
// over its pseudo-terminal, operated from the keyboard.

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include "SerialBridge.h"
#include "frmSaveState.h"
#include "SimProcess.h"
#include "PanelHarness.h"

using namespace test_support;

namespace {

struct SerialSession : testing::Test {
    SimProcess simulator;
    usblink::SerialBridge serial { { simulator.path() } };
    PanelHarness panel { serial };

    // Starts up on the chooser's entry for the simulator's line.
    void startUp()
    {
        ASSERT_FALSE(simulator.path().empty());
        EXPECT_TRUE(panel.startUpOn("R6140K " + simulator.path()));
        QApplication::setActiveWindow(&panel.main);
    }

    // Everything the instrument received, up to a marker the panel sends now.
    std::vector<std::string> received()
    {
        panel.session.send(Marker);
        return simulator.receivedBefore(Marker);
    }

    static constexpr const char* Marker = "*CLS";

    static void press(Qt::Key key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(QApplication::focusWidget(), key, modifiers);
    }
};

TEST_F(SerialSession, StartUpIdentifiesTheInstrumentAndSendsOnlyItsSequence)
{
    startUp();
    EXPECT_EQ(panel.main.lblUSB_ID->text().toStdString(), "USB ID = R6140K " + simulator.path());
    EXPECT_TRUE(panel.main.lblIDN->text().startsWith("*IDN? = R6140K Simulator,R6140K,SIM00001,"))
        << panel.main.lblIDN->text().toStdString();
    EXPECT_EQ(panel.main.lblRefLock->text(), ":SYSTem:REFLock? = 1");
    EXPECT_EQ(received(), StartUpLines);
}

TEST_F(SerialSession, KeyboardOperationReachesTheInstrument)
{
    startUp();
    const std::size_t startUpCount = StartUpLines.size();
    frmMain& m = panel.main;
    m.cmdBB_Swap->setFocus();
    press(Qt::Key_Space);
    press(Qt::Key_Space);
    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), m.scrBB_I_Off);
    press(Qt::Key_PageUp);
    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), m.scrIAtt);
    press(Qt::Key_PageUp);
    for (int i = 0; i < 6; ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), m.cmdUserStates);

    QString stateShown;
    const auto watch = whenModalOpens<frmSaveState>([&](frmSaveState* window) {
        QApplication::setActiveWindow(window);
        ASSERT_EQ(QApplication::focusWidget(), window->scrUser);
        press(Qt::Key_Tab);
        press(Qt::Key_Space);
        press(Qt::Key_Tab, Qt::ShiftModifier);
        for (int i = 0; i < 3; ++i)
            press(Qt::Key_Up);
        stateShown = window->lblUser->text();
        press(Qt::Key_Tab);
        press(Qt::Key_Tab);
        press(Qt::Key_Space);
        press(Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), window->cmdReturn);
        press(Qt::Key_Space);
    });
    press(Qt::Key_Space);

    EXPECT_EQ(stateShown, "3");
    std::vector<std::string> expected
        = { ":BAS:SWAP 1", ":BAS:SWAP 0", ":BAS:IOFF 10", ":MOD:IATT 8", "SYST:SAVE 0", "SYST:REC 3" };
    expected.insert(expected.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    const auto lines = received();
    ASSERT_GE(lines.size(), startUpCount);
    EXPECT_EQ(
        std::vector<std::string>(lines.begin() + static_cast<std::ptrdiff_t>(startUpCount), lines.end()), expected);
    // User state 3 was never stored, so the recall brought back the defaults.
    EXPECT_EQ(m.scrIAtt->setting(), 0);
    EXPECT_EQ(m.lblBB_I_OFF->text(), "0");
}

} // namespace
