#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "frmSaveState.h"
#include "SimulatedBridge.h"
#include "PanelHarness.h"

using namespace test_support;
using testing::ElementsAre;

namespace {

struct UserStates : testing::Test {
    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };
    std::size_t mark = 0;

    void SetUp() override
    {
        panel.startUp();
        mark = panel.line.lines.size();
    }

    std::vector<std::string> newLines()
    {
        auto lines = panel.linesSince(mark);
        mark = panel.line.lines.size();
        return lines;
    }

    // Opens the window, lets the test work in it, and returns once it has
    // closed and the main window has read everything back.
    void inWindow(const std::function<void(frmSaveState*)>& work)
    {
        const auto opened = whenModalOpens<frmSaveState>([work](frmSaveState* window) {
            work(window);
            if (window->isVisible())
                window->cmdReturn->click();
        });
        panel.main.cmdUserStates->click();
    }
};

TEST_F(UserStates, WindowOpensAtStateZeroWithTheSliderFocused)
{
    inWindow([](frmSaveState* window) {
        QApplication::setActiveWindow(window);
        EXPECT_EQ(window->windowTitle(), "Save / Recall State");
        EXPECT_EQ(window->lblUser->text(), "0");
        EXPECT_EQ(window->scrUser->setting(), 0);
        EXPECT_EQ(QApplication::focusWidget(), window->scrUser);
        window->cmdSave->click();
    });
    std::vector<std::string> expected = { "SYST:SAVE 0" };
    expected.insert(expected.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    EXPECT_EQ(newLines(), expected);
}

// Nothing reaches the instrument unless "SYSTem:SAVE" or "SYSTem:RECall" has
// the focus: no button is the window's default.
TEST_F(UserStates, ReturnAndEnterDoOnlyWhatSpaceDoesOnTheFocusedControl)
{
    struct Row {
        std::string control;
        std::vector<std::string> sent;
        bool closes;
    };
    const std::vector<Row> rows = { { "scrUser", {}, false }, { "cmdSave", { "SYST:SAVE 0" }, false },
        { "cmdRecall", { "SYST:REC 0" }, false }, { "cmdReturn", {}, true } };
    std::vector<std::string> stops;
    inWindow([&](frmSaveState* window) { stops = tabStops(window); });
    ASSERT_EQ(stops.size(), rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        ASSERT_EQ(stops[i], rows[i].control);
        for (Qt::Key key : ButtonKeys)
            inWindow([&](frmSaveState* window) {
                QApplication::setActiveWindow(window);
                window->findChild<QWidget*>(QString::fromStdString(rows[i].control))->setFocus();
                newLines();
                QTest::keyClick(QApplication::focusWidget(), key);
                EXPECT_EQ(newLines(), rows[i].sent) << rows[i].control << " key " << key;
                EXPECT_EQ(window->isVisible(), !rows[i].closes) << rows[i].control << " key " << key;
            });
    }
}

TEST_F(UserStates, NumberStaysWithinZeroToNineAndEachStepMovesItByOne)
{
    std::vector<QString> shown;
    inWindow([&](frmSaveState* window) {
        for (Qt::Key key : { Qt::Key_Down, Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_Up, Qt::Key_PageUp,
                 Qt::Key_PageDown, Qt::Key_Down }) {
            QTest::keyClick(window->scrUser, key);
            shown.push_back(window->lblUser->text());
        }
        window->cmdRecall->click();
    });
    EXPECT_THAT(shown, ElementsAre("0", "1", "2", "9", "9", "9", "8", "7"));
    EXPECT_EQ(newLines().front(), "SYST:REC 7");
}

TEST_F(UserStates, MovingTheSliderAloneSendsNothingButTheReadBackFollows)
{
    inWindow([](frmSaveState* window) { QTest::keyClick(window->scrUser, Qt::Key_Up); });
    EXPECT_EQ(newLines(), ReadBackQueries);
}

TEST_F(UserStates, EachPressSendsItsOwnLineInOrder)
{
    inWindow([](frmSaveState* window) {
        window->scrUser->setSetting(4);
        window->cmdSave->click();
        window->cmdSave->click();
        window->cmdRecall->click();
    });
    std::vector<std::string> expected = { "SYST:SAVE 4", "SYST:SAVE 4", "SYST:REC 4" };
    expected.insert(expected.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    EXPECT_EQ(newLines(), expected);
}

TEST_F(UserStates, DraggingUpdatesTheLabelOnlyOnRelease)
{
    inWindow([](frmSaveState* window) {
        panel::SettingScrollBar* bar = window->scrUser;
        bar->setSliderDown(true);
        bar->setSliderPosition(-6);
        EXPECT_EQ(window->lblUser->text(), "0");
        bar->setSliderDown(false);
        EXPECT_EQ(window->lblUser->text(), "6");
    });
}

TEST_F(UserStates, ReopeningStartsFromZeroAgain)
{
    inWindow([](frmSaveState* window) { window->scrUser->setSetting(7); });
    inWindow([](frmSaveState* window) {
        EXPECT_EQ(window->scrUser->setting(), 0);
        EXPECT_EQ(window->lblUser->text(), "0");
    });
}

TEST_F(UserStates, ClosingByTheWindowCommandAlsoReadsBack)
{
    inWindow([](frmSaveState* window) { window->close(); });
    EXPECT_EQ(newLines(), ReadBackQueries);
    EXPECT_EQ(panel.main.SendEnabled, -1);
}

TEST_F(UserStates, RecallBringsBackTheStoredSettingsOntoTheControls)
{
    frmMain& m = panel.main;
    m.scrIAtt->setSetting(40);
    m.scrBB_Q_Off->setSetting(-1200);
    m.cmdMod_ZIN->click();
    inWindow([](frmSaveState* window) {
        window->scrUser->setSetting(5);
        window->cmdSave->click();
    });
    m.scrIAtt->setSetting(3);
    m.scrBB_Q_Off->setSetting(0);
    m.cmdMod_ZIN->click();
    inWindow([](frmSaveState* window) {
        window->scrUser->setSetting(5);
        window->cmdRecall->click();
    });

    EXPECT_EQ(simulator.instrument().value(":MOD:IATT"), 40);
    EXPECT_EQ(m.scrIAtt->setting(), 40);
    EXPECT_EQ(m.lblIAtt->text(), "5 dB");
    EXPECT_EQ(m.lblBB_Q_OFF->text(), "-1200");
    EXPECT_EQ(m.cmdMod_ZIN->text(), ":MODulator:ZINPut\n1");
}

TEST_F(UserStates, APressDuringASendIsWrittenAfterIt)
{
    bool nested = false;
    inWindow([&](frmSaveState* window) {
        window->scrUser->setSetting(2);
        panel.atEventPoint = [&] {
            if (!std::exchange(nested, true))
                window->cmdRecall->click();
        };
        window->cmdSave->click();
        panel.atEventPoint = nullptr;
    });
    const auto lines = newLines();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], "SYST:SAVE 2");
    EXPECT_EQ(lines[1], "SYST:REC 2");
}

} // namespace
