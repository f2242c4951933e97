#include <QDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QStyleOptionSlider>
#include <QTcpServer>
#include <QTest>
#include <QToolTip>
#include <QWheelEvent>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BrowserControl.h"
#include "EventLoop.h"
#include "LiveChannel.h"
#include "PanelServices.h"
#include "RemoteServices.h"
#include "SimulatedBridge.h"
#include "PanelHarness.h"
#include "ScriptedPanel.h"
#include "SettingText.h"
#include "StatusLine.h"
#include "ValueEditor.h"
#include "frmKeys.h"
#include "frmTrafficLog.h"

using namespace test_support;
using namespace std::chrono_literals;
using panel::SettingScrollBar;
using testing::ElementsAre;
using instrument::SettingId;

namespace {

struct SettingsPanel : testing::Test {
    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };
    std::size_t mark = 0;

    void SetUp() override
    {
        panel.startUp();
        QApplication::setActiveWindow(&panel.main);
        mark = panel.line.lines.size();
    }

    // Lines written since the last call.
    std::vector<std::string> newLines()
    {
        auto lines = panel.linesSince(mark);
        mark = panel.line.lines.size();
        return lines;
    }

    void tell(const std::string& line) { simulator.instrument().handleLine(line); }
    int32_t instrumentValue(const char* header) { return simulator.instrument().value(header).value(); }

    static void press(Qt::Key key) { QTest::keyClick(QApplication::focusWidget(), key); }
};

TEST_F(SettingsPanel, TabVisitsTheControlsInFocusOrder)
{
    frmMain& m = panel.main;
    const std::vector<QWidget*> order
        = { m.cmdBB_Swap, m.cmdBB_ZIN, m.cmdMod_ZIN, m.scrBB_I_Off, m.scrBB_Q_Off, m.scrMod_I_Off, m.scrMod_Q_Off,
              m.scrIAtt, m.scrQAtt, m.scrIMod, m.scrQMod, m.cmdError, m.cmdRST, m.cmdUserStates, m.cmdQuit };
    m.cmdBB_Swap->setFocus();
    for (std::size_t i = 1; i < order.size(); ++i) {
        press(Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), order[i]) << i;
    }
}

TEST_F(SettingsPanel, KeyboardAloneSendsEveryKindOfChange)
{
    frmMain& m = panel.main;
    m.cmdBB_Swap->setFocus();
    press(Qt::Key_Space);
    EXPECT_EQ(m.cmdBB_Swap->text(), ":BASEband:SWAP\n1");
    press(Qt::Key_Space);
    EXPECT_EQ(m.cmdBB_Swap->text(), ":BASEband:SWAP\n0");
    EXPECT_THAT(newLines(), ElementsAre(":BAS:SWAP 1", ":BAS:SWAP 0"));

    for (int i = 0; i < 3; ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), m.scrBB_I_Off);
    press(Qt::Key_PageUp);
    press(Qt::Key_Up);
    press(Qt::Key_Down);
    press(Qt::Key_PageDown);
    press(Qt::Key_PageDown);
    EXPECT_THAT(
        newLines(), ElementsAre(":BAS:IOFF 10", ":BAS:IOFF 11", ":BAS:IOFF 10", ":BAS:IOFF 0", ":BAS:IOFF -10"));
    EXPECT_EQ(m.lblBB_I_OFF->text(), "-10");

    for (int i = 0; i < 4; ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), m.scrIAtt);
    press(Qt::Key_PageUp);
    EXPECT_THAT(newLines(), ElementsAre(":MOD:IATT 8"));
    EXPECT_EQ(m.lblIAtt->text(), "1 dB");
    EXPECT_EQ(instrumentValue(":MOD:IATT"), 8);
    EXPECT_EQ(instrumentValue(":BAS:IOFF"), -10);
}

// Each key press starts from the reset instrument; Quit is tried among the
// Ending tests, since it ends the program.
TEST_F(SettingsPanel, ReturnAndEnterDoOnAFocusedButtonWhatSpaceDoesAndNothingOnASlider)
{
    const auto closeEachWindow = onEveryModal<QDialog>([](QDialog* window) { window->reject(); });
    std::vector<std::string> reset = { "*RST" };
    reset.insert(reset.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    const std::map<std::string, std::vector<std::string>> sentByButton = { { "cmdBB_Swap", { ":BAS:SWAP 1" } },
        { "cmdBB_ZIN", { ":BAS:ZINP 1" } }, { "cmdMod_ZIN", { ":MOD:ZINP 1" } }, { "cmdError", { ":SYST:ERR?" } },
        { "cmdRST", reset }, { "cmdUserStates", ReadBackQueries } };
    const auto stops = tabStops(&panel.main);
    ASSERT_EQ(stops.size(), 15u);
    for (const std::string& name : stops) {
        if (name == "cmdQuit")
            continue;
        const auto button = sentByButton.find(name);
        for (Qt::Key key : ButtonKeys) {
            panel.main.cmdRST->click();
            newLines();
            QApplication::setActiveWindow(&panel.main); // again, after a window of its own
            panel.main.findChild<QWidget*>(QString::fromStdString(name))->setFocus();
            press(key);
            EXPECT_EQ(newLines(), button == sentByButton.end() ? std::vector<std::string> {} : button->second)
                << name << " key " << key;
        }
    }
}

// A value typed over a slider's label, opened by typing on the focused
// slider or by a double click on the label, and ended by the given key.
struct ExactValue {
    const char* name;
    SettingId setting;
    bool byDoubleClick;
    const char* typed;
    Qt::Key ending;
    std::vector<std::string> sent;
    const char* shown; // by the label afterwards
    const char* problem; // the editor, still open, says so; empty once closed
};

const ExactValue ExactValues[] = {
    { "Offset", SettingId::BasebandIOffset, false, "12345", Qt::Key_Return, { ":BAS:IOFF 12345" }, "12345", "" },
    { "NegativeOffsetByKeypadEnter", SettingId::ModulatorQOffset, false, "-32768", Qt::Key_Enter,
        { ":MOD:QOFF -32768" }, "-32768", "" },
    { "DotOpensNothingOnAnOffset", SettingId::ModulatorIInputOffset, false, ".5", Qt::Key_Return, { ":MOD:IINP 5" },
        "5", "" },
    { "Decibels", SettingId::ModulatorIAttenuator, false, "12.375", Qt::Key_Return, { ":MOD:IATT 99" }, "12.375 dB",
        "" },
    { "DecibelsToTheNearestStep", SettingId::ModulatorQAttenuator, false, ".07", Qt::Key_Return, { ":MOD:QATT 1" },
        "0.125 dB", "" },
    { "DecibelsRoundedIntoRange", SettingId::ModulatorQAttenuator, true, "15.9 dB", Qt::Key_Return,
        { ":MOD:QATT 127" }, "15.875 dB", "" },
    { "OffsetOutOfRange", SettingId::BasebandIOffset, false, "99999", Qt::Key_Return, {}, "0",
        "Out of range: -32768 to 32767" },
    { "NotANumber", SettingId::BasebandQOffset, true, "abc", Qt::Key_Return, {}, "0", "Not a whole number" },
    { "DecibelsOutOfRange", SettingId::ModulatorIAttenuator, false, "16", Qt::Key_Return, {}, "0 dB",
        "Out of range: 0 dB to 15.875 dB" },
    { "EscapeCancels", SettingId::BasebandIOffset, false, "12345", Qt::Key_Escape, {}, "0", "" },
    { "TabCancels", SettingId::ModulatorIOffset, true, "7", Qt::Key_Tab, {}, "0", "" },
};

TEST_F(SettingsPanel, ExactValuesTypedOverTheLabelAreSentAsTheSliderSendsThem)
{
    frmMain& m = panel.main;
    for (const ExactValue& row : ExactValues) {
        SCOPED_TRACE(row.name);
        m.slider(row.setting)->setFocus();
        if (row.byDoubleClick)
            QTest::mouseDClick(m.valueLabel(row.setting), Qt::LeftButton);
        for (const char c : std::string(row.typed))
            QTest::keyClick(QApplication::focusWidget(), c);
        EXPECT_EQ(m.txtValue->editedSlider(), m.slider(row.setting));
        press(row.ending);
        EXPECT_EQ(newLines(), row.sent);
        EXPECT_EQ(m.valueLabel(row.setting)->text(), row.shown);
        EXPECT_EQ(m.txtValue->problem(), row.problem);
        EXPECT_EQ(m.txtValue->isVisible(), *row.problem != 0);
        m.cmdRST->click();
        newLines();
    }
}

TEST_F(SettingsPanel, F5ReadsEverySettingBackWithoutAReset)
{
    tell(":MOD:QATT 12");
    panel.main.scrBB_I_Off->setFocus();
    press(Qt::Key_F5);
    EXPECT_EQ(newLines(), ReadBackQueries);
    EXPECT_EQ(panel.main.lblQAtt->text(), "1.5 dB");
}

TEST_F(SettingsPanel, TheSliderThatHasTheFocusAloneIsDrawnMarked)
{
    SettingScrollBar* bar = panel.main.scrQAtt;
    const QImage unfocused = bar->grab().toImage();
    bar->setFocus();
    EXPECT_NE(bar->grab().toImage(), unfocused);
    panel.main.scrIAtt->setFocus();
    EXPECT_EQ(bar->grab().toImage(), unfocused);
}

// The focus mark shows from the start, before any Tab: on the button that
// has the focus, and on the chooser's list.
TEST_F(SettingsPanel, TheFocusMarkShowsFromTheStartOnButtonsAndLists)
{
    QPushButton* first = panel.main.cmdBB_Swap;
    ASSERT_TRUE(first->hasFocus());
    const QImage focused = first->grab().toImage();
    panel.main.cmdBB_ZIN->setFocus();
    EXPECT_NE(first->grab().toImage(), focused);

    PanelHarness another(simulator);
    QImage listFocused, listUnfocused;
    const auto chooser = whenModalOpens<frmSelect>([&](frmSelect* window) {
        QApplication::setActiveWindow(window);
        listFocused = window->lstSelector->grab().toImage();
        window->cmdSelect->setFocus();
        listUnfocused = window->lstSelector->grab().toImage();
        window->cmdSelect->click();
    });
    another.main.Form_Load();
    EXPECT_NE(listFocused, listUnfocused);
}

void turnWheel(SettingScrollBar* bar, QPoint eighthsOfADegree, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    const QPointF centre = QRectF(bar->rect()).center();
    QWheelEvent notch(centre, bar->mapToGlobal(centre), {}, eighthsOfADegree, Qt::NoButton, modifiers,
        Qt::NoScrollPhase, false);
    QApplication::sendEvent(bar, &notch);
}

// The wheel moves a slider only once it has the focus, one arrow step a notch.
TEST_F(SettingsPanel, TheWheelMovesOnlyTheSliderThatHasTheFocus)
{
    SettingScrollBar* bar = panel.main.scrBB_Q_Off;
    panel.main.cmdBB_Swap->setFocus();
    turnWheel(bar, { 0, 120 });
    EXPECT_THAT(newLines(), testing::IsEmpty());
    EXPECT_EQ(bar->setting(), 0);
    bar->setFocus();
    turnWheel(bar, { 0, 120 });
    EXPECT_THAT(newLines(), ElementsAre(":BAS:QOFF 1"));
}

// Coarse steps, by key or wheel notch, with the modifier held; the same
// scheme on every slider of a kind, stopping at the ends.
struct CoarseStep {
    SettingId setting;
    int from;
    Qt::Key key; // none: a wheel notch up, or down with a negative turn
    int turn;
    Qt::KeyboardModifiers modifiers;
    const char* sent;
};

const CoarseStep CoarseSteps[] = {
    { SettingId::BasebandIOffset, 0, Qt::Key_Up, 0, Qt::ShiftModifier, ":BAS:IOFF 100" },
    { SettingId::BasebandIOffset, 0, Qt::Key_Down, 0, Qt::ControlModifier, ":BAS:IOFF -1000" },
    { SettingId::ModulatorQOffset, 0, Qt::Key_Up, 0, Qt::ControlModifier | Qt::ShiftModifier, ":MOD:QOFF 1000" },
    { SettingId::ModulatorIAttenuator, 0, Qt::Key_Up, 0, Qt::ShiftModifier, ":MOD:IATT 8" },
    { SettingId::ModulatorIAttenuator, 0, Qt::Key_Up, 0, Qt::ControlModifier, ":MOD:IATT 40" },
    { SettingId::ModulatorQAttenuator, 100, Qt::Key_Up, 0, Qt::ControlModifier, ":MOD:QATT 127" },
    { SettingId::ModulatorIInputOffset, 32700, Qt::Key_Up, 0, Qt::ShiftModifier, ":MOD:IINP 32767" },
    { SettingId::ModulatorIInputOffset, 0, Qt::Key_unknown, -120, Qt::NoModifier, ":MOD:IINP -1" },
    { SettingId::ModulatorQInputOffset, 0, Qt::Key_unknown, 120, Qt::ShiftModifier, ":MOD:QINP 100" },
    { SettingId::ModulatorIOffset, 0, Qt::Key_unknown, -240, Qt::ControlModifier, ":MOD:IOFF -2000" },
    { SettingId::ModulatorQAttenuator, 0, Qt::Key_unknown, 120, Qt::ShiftModifier, ":MOD:QATT 8" },
};

TEST_F(SettingsPanel, ShiftAndCtrlMoveASliderInCoarseStepsByKeyAndWheel)
{
    for (const CoarseStep& row : CoarseSteps) {
        SCOPED_TRACE(std::string(row.sent));
        SettingScrollBar* bar = panel.main.slider(row.setting);
        bar->setSetting(row.from);
        bar->setFocus();
        newLines();
        if (row.key != Qt::Key_unknown)
            QTest::keyClick(bar, row.key, row.modifiers);
        else
            turnWheel(bar, { 0, row.turn }, row.modifiers);
        EXPECT_THAT(newLines(), ElementsAre(row.sent));
    }
    EXPECT_THAT(panel.main.scrIAtt->toolTip().toStdString(), testing::HasSubstr("with Shift: 1 dB; with Ctrl: 5 dB"));
    EXPECT_THAT(panel.main.scrIMod->toolTip().toStdString(),
        testing::HasSubstr("with Shift: 100 counts; with Ctrl: 1000 counts"));
}

// The entries of the menu a right-click opens on a control; the one named is then chosen.
std::vector<std::string> rightClick(QWidget* control, const QString& choose = {})
{
    QContextMenuEvent click(QContextMenuEvent::Mouse, control->rect().center(), control->mapToGlobal(control->rect().center()));
    QApplication::sendEvent(control, &click);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    EXPECT_TRUE(menu && menu->objectName() == "mnuControl") << "the panel's own menu, not the toolkit's";
    std::vector<std::string> entries;
    QAction* chosen = nullptr;
    for (QAction* action : menu ? menu->actions() : QList<QAction*> {}) {
        if (!action->isSeparator())
            entries.push_back(action->text().toStdString() + (action->isEnabled() ? "" : " (disabled)"));
        chosen = action->text() == choose ? action : chosen;
    }
    if (menu)
        menu->close();
    if (chosen)
        chosen->trigger();
    return entries;
}

const std::vector<std::string> WindowCommands
    = { "Refresh", "Traffic Log", "Save Setup…", "Load Setup…", "Keys", "Calibrate…", "Quit", "Undo", "Redo" };

// A port another program holds stops the panel before its window opens, and
// the operator is told which.
TEST_F(SettingsPanel, ServicesWhosePortIsTakenSayWhichAndDoNotStart)
{
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost));
    app::Options options;
    options.listen = app::Options::ListenAddress { "127.0.0.1", holder.serverPort() };
    app::PanelServices services(panel.session, options);
    QString why;
    EXPECT_FALSE(services.attach(panel.main, nullptr, &why));
    EXPECT_THAT(why.toStdString(),
        testing::StartsWith("Cannot listen on 127.0.0.1 port " + std::to_string(holder.serverPort()) + ": "));
}

TEST_F(SettingsPanel, ARightClickOnASliderOpensThePanelsMenuWhoseEntriesSetValuesAndLetBrowsersControl)
{
    std::vector<std::string> offsetMenu = { "Set value…", "Zero" };
    offsetMenu.insert(offsetMenu.end(), WindowCommands.begin(), WindowCommands.end());
    panel.main.scrBB_I_Off->setSetting(500);
    newLines();
    EXPECT_EQ(rightClick(panel.main.scrBB_I_Off, "Zero"), offsetMenu);
    EXPECT_THAT(newLines(), ElementsAre(":BAS:IOFF 0"));

    offsetMenu[1] = "Zero (disabled)";
    EXPECT_EQ(rightClick(panel.main.lblBB_I_OFF), offsetMenu) << "at zero already";

    std::vector<std::string> attenuatorMenu = { "Set value…" };
    attenuatorMenu.insert(attenuatorMenu.end(), WindowCommands.begin(), WindowCommands.end());
    EXPECT_EQ(rightClick(panel.main.scrQAtt, "Set value…"), attenuatorMenu);
    EXPECT_EQ(panel.main.txtValue->editedSlider(), panel.main.scrQAtt);
    EXPECT_EQ(panel.main.txtValue->text(), "0");
    QTest::keyClicks(panel.main.txtValue, "3");
    QTest::keyClick(panel.main.txtValue, Qt::Key_Return);
    EXPECT_THAT(newLines(), ElementsAre(":MOD:QATT 24"));

    // "Control from Browsers" as the program offers it: checked, a browser with
    // the token changes a setting and the status line says so; unchecked, its
    // next change is refused and it is told at once that it no longer controls.
    app::RemoteServices remote(panel.session, {});
    QObject::connect(&remote.status(), &remote::RemoteStatus::changed, &panel.main, &frmMain::showRemoteStatus);
    remote::LiveState state(panel.session);
    remote::LiveChannel live(panel.session, state, remote::LiveChannel::newToken());
    app::offerBrowserControl(panel.main, remote, live, "http://h/?token=" + live.token());
    QWebSocket browser;
    QJsonObject told;
    QObject::connect(&browser, &QWebSocket::textMessageReceived,
        [&told](const QString& text) { told = QJsonDocument::fromJson(text.toUtf8()).object(); });
    browser.open(QString("ws://127.0.0.1:%1/ws?token=%2").arg(live.listenOnLoopback()).arg(live.token()));
    ASSERT_TRUE(pumpUntil([&] { return !told.isEmpty(); }, 5s)) << "the whole state first";
    attenuatorMenu.push_back("Control from Browsers");
    for (const bool allowed : { true, false }) {
        const int refused = live.refusals();
        EXPECT_EQ(rightClick(panel.main.scrQAtt, "Control from Browsers"), attenuatorMenu);
        const QString shown = "Browsers may change settings through http://h/?token=" + live.token();
        EXPECT_EQ(panel.main.lblRemoteStatus->status() == shown, allowed);
        ASSERT_TRUE(pumpUntil([&] { return told["type"] == "control" && told["allowed"] == allowed; }, 5s));
        browser.sendTextMessage(QJsonDocument({ { "type", "set" }, { "token", live.token() },
            { "name", "MODulator:QATTenuator" }, { "value", 9 + allowed } }).toJson());
        const auto done = [&] { return allowed ? instrumentValue(":MOD:QATT") == 10 : live.refusals() > refused; };
        EXPECT_TRUE(pumpUntil(done, 5s));
    }
    EXPECT_EQ(instrumentValue(":MOD:QATT"), 10);
    browser.abort();
}

// Undo and redo of the operator's changes, each sent as one message.
struct UndoRow {
    const char* name;
    std::function<void(PanelHarness&, frmMain&)> act;
    std::vector<std::string> sent;
    bool undoLeft;
};

void pressOn(QWidget* on, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QApplication::setActiveWindow(on->window());
    on->setFocus();
    QTest::keyClick(on, key, modifiers);
}

void undo(frmMain& m) { pressOn(m.cmdQuit, Qt::Key_Z, Qt::ControlModifier); }
void redo(frmMain& m) { pressOn(m.cmdQuit, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier); }

std::vector<std::string> aroundReadBack(std::vector<std::string> lines, const std::vector<std::string>& after = {})
{
    lines.insert(lines.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    lines.insert(lines.end(), after.begin(), after.end());
    return lines;
}

const UndoRow UndoRows[] = {
    { "UndoTwiceThenRedo", [](auto&, frmMain& m) { pressOn(m.scrBB_I_Off, Qt::Key_PageUp);
         pressOn(m.scrBB_I_Off, Qt::Key_Up); undo(m); undo(m); redo(m); },
        { ":BAS:IOFF 10", ":BAS:IOFF 11", ":BAS:IOFF 10", ":BAS:IOFF 0", ":BAS:IOFF 10" }, true },
    { "AcrossSettingsAndToggles", [](auto&, frmMain& m) { m.cmdBB_Swap->click();
         pressOn(m.scrIAtt, Qt::Key_Up, Qt::ShiftModifier); undo(m); undo(m); undo(m); },
        { ":BAS:SWAP 1", ":MOD:IATT 8", ":MOD:IATT 0", ":BAS:SWAP 0" }, false },
    { "ANewChangeDropsTheRedo", [](auto&, frmMain& m) { pressOn(m.scrQMod, Qt::Key_Up); undo(m);
         pressOn(m.scrQMod, Qt::Key_Down); redo(m); },
        { ":MOD:QOFF 1", ":MOD:QOFF 0", ":MOD:QOFF -1" }, true },
    { "AResetThatFindsOtherValuesClearsIt", [](auto&, frmMain& m) { pressOn(m.scrMod_I_Off, Qt::Key_Up);
         pressOn(m.scrMod_I_Off, Qt::Key_Up); m.cmdRST->click(); undo(m); },
        aroundReadBack({ ":MOD:IINP 1", ":MOD:IINP 2", "*RST" }), false },
    { "AReadBackThatFindsTheSameValuesKeepsIt", [](auto&, frmMain& m) { pressOn(m.scrMod_I_Off, Qt::Key_Up);
         m.actRefresh->trigger(); undo(m); },
        aroundReadBack({ ":MOD:IINP 1" }, { ":MOD:IINP 0" }), false },
    { "AScriptsChangeClearsIt", [](auto&, frmMain& m) { pressOn(m.scrIMod, Qt::Key_Up);
         m.session().enqueue([&m] { m.session().send(":MOD:IOFF 77"); }, "127.0.0.1:4000"); undo(m); },
        { ":MOD:IOFF 1", ":MOD:IOFF 77" }, false },
    { "NothingWhileThePanelDoesNotSend", [](PanelHarness& h, frmMain& m) { pressOn(m.scrBB_Q_Off, Qt::Key_Up);
         h.atEventPoint = [&m] { m.undoChange(); }; m.actRefresh->trigger(); h.atEventPoint = nullptr; },
        aroundReadBack({ ":BAS:QOFF 1" }), true },
};

class Undo : public SettingsPanel, public testing::WithParamInterface<UndoRow> { };

TEST_P(Undo, SendsEachEarlierValueAsOneMessage)
{
    GetParam().act(panel, panel.main);
    EXPECT_EQ(newLines(), GetParam().sent);
    EXPECT_EQ(panel.main.history().canUndo(), GetParam().undoLeft);
}

INSTANTIATE_TEST_SUITE_P(Changes, Undo, testing::ValuesIn(UndoRows),
    [](const testing::TestParamInfo<UndoRow>& info) { return info.param.name; });

// While a calibration moves the modulator offsets, the operator's changes to
// them go back unsent with a note at the control; its values are followed,
// other settings go on, and once released the offsets take changes again.
TEST_F(SettingsPanel, ClaimedSettingsRefuseTheOperatorAndFollowTheCalibration)
{
    frmMain& m = panel.main;
    m.claimSettings({ SettingId::ModulatorIOffset, SettingId::ModulatorQOffset }, "calibration");
    pressOn(m.scrIMod, Qt::Key_Up);
    EXPECT_EQ(m.scrIMod->setting(), 0);
    EXPECT_EQ(m.lblIMod->text(), "0");
    EXPECT_THAT(QToolTip::text().toStdString(), testing::HasSubstr("MODulator:IOFFset is moved by the calibration"));
    m.cmdBB_Swap->click();
    m.session().enqueue([&m] { m.session().send(":MOD:QOFF 77"); }, "calibration");
    EXPECT_EQ(m.scrQMod->setting(), 77);
    pressOn(m.scrQMod, Qt::Key_PageDown);
    EXPECT_EQ(m.scrQMod->setting(), 77);
    m.releaseSettings();
    pressOn(m.scrQMod, Qt::Key_Up);
    EXPECT_THAT(newLines(), ElementsAre(":BAS:SWAP 1", ":MOD:QOFF 77", ":MOD:QOFF 78"));
    EXPECT_EQ(instrumentValue(":MOD:IOFF"), 0);
}

// The window's command keys, in the main window and in the traffic log.
TEST_F(SettingsPanel, CommandKeysWorkInTheMainWindowAndTheTrafficLog)
{
    frmTrafficLog* log = panel.main.showTrafficLog();
    const auto keysShown = [this] {
        const frmKeys* keys = panel.main.findChild<frmKeys*>();
        return keys && keys->isVisible();
    };
    QWidget calibrate;
    panel.main.setCalibrateWindow([&calibrate] { return &calibrate; });
    const struct {
        const char* name;
        QWidget* window;
        QKeyCombination keys;
        std::function<bool()> done;
    } rows[] = {
        { "F5", &panel.main, Qt::Key_F5, [this] { return newLines() == ReadBackQueries; } },
        { "F5 in the log", log, Qt::Key_F5, [this] { return newLines() == ReadBackQueries; } },
        { "F1", &panel.main, Qt::Key_F1, keysShown },
        { "F1 in the log", log, Qt::Key_F1, keysShown },
        { "Ctrl+K", &panel.main, Qt::CTRL | Qt::Key_K, [&calibrate] { return calibrate.isVisible(); } },
        { "Esc in the log", log, Qt::Key_Escape, [log] { return !log->isVisible(); } },
        { "Ctrl+Q in the log", log, Qt::CTRL | Qt::Key_Q, [this] { return panel.endStatus == 0; } },
    };
    for (const auto& row : rows) {
        if (frmKeys* keys = panel.main.findChild<frmKeys*>())
            keys->close();
        if (row.window == log)
            panel.main.showTrafficLog();
        QApplication::setActiveWindow(row.window);
        QTest::keyClick(row.window, row.keys.key(), row.keys.keyboardModifiers());
        EXPECT_TRUE(row.done()) << row.name;
    }
}

TEST_F(SettingsPanel, SlidersReachBothEndsAndNoFurther)
{
    frmMain& m = panel.main;
    m.scrBB_I_Off->setFocus();
    press(Qt::Key_Home);
    press(Qt::Key_Up);
    EXPECT_EQ(m.lblBB_I_OFF->text(), "32767");
    press(Qt::Key_End);
    press(Qt::Key_Down);
    EXPECT_EQ(m.lblBB_I_OFF->text(), "-32768");
    m.scrIAtt->setFocus();
    press(Qt::Key_Home);
    EXPECT_EQ(m.lblIAtt->text(), "15.875 dB");
    press(Qt::Key_End);
    EXPECT_EQ(m.lblIAtt->text(), "0 dB");
    EXPECT_THAT(newLines(), ElementsAre(":BAS:IOFF 32767", ":BAS:IOFF -32768", ":MOD:IATT 127", ":MOD:IATT 0"));
}

TEST_F(SettingsPanel, ArrowsAndTrackClicksMoveTheValueTheWayTheyPoint)
{
    SettingScrollBar* bar = panel.main.scrQAtt;
    const QPoint upperArrow(bar->width() / 2, 2);
    const QPoint lowerArrow(bar->width() / 2, bar->height() - 3);
    const QPoint track(bar->width() / 2, bar->height() / 2); // above the thumb at 0
    QTest::mouseClick(bar, Qt::LeftButton, {}, upperArrow);
    QTest::mouseClick(bar, Qt::LeftButton, {}, track);
    QTest::mouseClick(bar, Qt::LeftButton, {}, lowerArrow);
    EXPECT_THAT(newLines(), ElementsAre(":MOD:QATT 1", ":MOD:QATT 9", ":MOD:QATT 8"));
}

TEST_F(SettingsPanel, DraggingTheThumbSendsOnlyTheFinalValue)
{
    SettingScrollBar* bar = panel.main.scrQAtt;
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.orientation = Qt::Vertical;
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.pageStep = bar->pageStep();
    option.singleStep = bar->singleStep();
    const QPoint thumb
        = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, bar).center();

    QTest::mousePress(bar, Qt::LeftButton, {}, thumb);
    for (int dy = 10; dy <= 100; dy += 10) {
        QMouseEvent move(QEvent::MouseMove, QPointF(thumb.x(), thumb.y() - dy),
            bar->mapToGlobal(QPointF(thumb.x(), thumb.y() - dy)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(bar, &move);
    }
    EXPECT_TRUE(newLines().empty());
    EXPECT_GT(bar->shownSetting(), 20);
    EXPECT_EQ(panel.main.lblQAtt->text(), panel::valueText(instrument::SettingKind::Attenuator, bar->shownSetting()))
        << "the label follows the thumb";
    QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(thumb.x(), thumb.y() - 100));

    const auto lines = newLines();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], ":MOD:QATT " + std::to_string(bar->setting()));
    EXPECT_GT(bar->setting(), 20);
    EXPECT_EQ(instrumentValue(":MOD:QATT"), bar->setting());
}

TEST_F(SettingsPanel, ReadBackShowsAttenuatorsInDecibelsAndEveryValue)
{
    tell(":MOD:IATT 1");
    tell(":MOD:QATT 12");
    tell(":MOD:IOFF -120");
    tell(":BAS:ZINP 1");
    panel.main.RefreshFromInstrument();
    EXPECT_EQ(panel.main.lblIAtt->text(), "0.125 dB");
    EXPECT_EQ(panel.main.lblQAtt->text(), "1.5 dB");
    EXPECT_EQ(panel.main.lblIMod->text(), "-120");
    EXPECT_EQ(panel.main.scrIMod->setting(), -120);
    EXPECT_EQ(panel.main.cmdBB_ZIN->text(), ":BASband:ZINPut\n1");
    EXPECT_EQ(panel.main.cmdMod_ZIN->text(), ":MODulator:ZINPut\n0");
    EXPECT_EQ(newLines(), ReadBackQueries);
}

TEST_F(SettingsPanel, ModulatorInputAndOffsetSlidersCarryTheirOwnSettings)
{
    panel.main.scrMod_I_Off->setSetting(1);
    panel.main.scrMod_Q_Off->setSetting(2);
    panel.main.scrIMod->setSetting(3);
    panel.main.scrQMod->setSetting(4);
    panel.main.scrBB_Q_Off->setSetting(5);
    EXPECT_THAT(newLines(), ElementsAre(":MOD:IINP 1", ":MOD:QINP 2", ":MOD:IOFF 3", ":MOD:QOFF 4", ":BAS:QOFF 5"));
}

TEST_F(SettingsPanel, ResetSendsRstThenReadsEverythingBack)
{
    panel.main.scrIAtt->setSetting(40);
    newLines();
    panel.main.cmdRST->click();
    std::vector<std::string> expected = { "*RST" };
    expected.insert(expected.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    EXPECT_EQ(newLines(), expected);
    EXPECT_EQ(panel.main.scrIAtt->setting(), 0);
    EXPECT_EQ(panel.main.lblIAtt->text(), "0 dB");

    panel.main.scrIAtt->setFocus();
    press(Qt::Key_Up);
    EXPECT_THAT(newLines(), ElementsAre(":MOD:IATT 1"));
}

TEST_F(SettingsPanel, ErrorQueryShowsTheReplyInAnInformationBox)
{
    tell("BOGUS");
    SeenMessage seen;
    const auto box = acknowledgeNextMessage(seen);
    panel.main.cmdError->click();
    EXPECT_EQ(seen.title, ":SYST:ERR?");
    EXPECT_EQ(seen.text, "-113,\"Undefined header\"");
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_THAT(newLines(), ElementsAre(":SYST:ERR?"));
}

TEST_F(SettingsPanel, ReferenceLockIsShownWithoutSurroundingBlanks)
{
    simulator.instrument().setReferenceLocked(false);
    panel.main.RefreshFromInstrument();
    EXPECT_EQ(panel.main.lblRefLock->text(), ":SYSTem:REFLock? = 0");
}

// Operator input that arrives while the panel waits for a reply.
TEST_F(SettingsPanel, InputDuringAReadBackIsNotSentAndStartsNoSecondExchange)
{
    frmMain& m = panel.main;
    panel.atEventPoint = [&] {
        m.cmdBB_Swap->click();
        m.scrIMod->setFocus();
        QTest::keyClick(m.scrIMod, Qt::Key_PageUp);
        QTest::mouseClick(m.scrQMod, Qt::LeftButton, {}, QPoint(m.scrQMod->width() / 2, 2));
        m.cmdRST->click();
        m.cmdError->click();
        m.cmdUserStates->click();
        QTest::keyClick(m.scrIMod, Qt::Key_F5);
        QTest::keyClick(m.scrIMod, Qt::Key_5);
        QTest::mouseDClick(m.lblQMod, Qt::LeftButton);
    };
    m.cmdRST->click();
    panel.atEventPoint = nullptr;
    EXPECT_FALSE(m.txtValue->isVisible());

    std::vector<std::string> expected = { "*RST" };
    expected.insert(expected.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    EXPECT_EQ(newLines(), expected);
    EXPECT_TRUE(panel.line.violations.empty());
    EXPECT_EQ(m.scrIMod->setting(), 0);
    EXPECT_EQ(m.scrQMod->setting(), 0);
    EXPECT_EQ(m.BasebandSwapState, 0);
    EXPECT_EQ(m.SendEnabled, -1);
}

TEST_F(SettingsPanel, ChangesDuringASendAreWrittenAfterIt)
{
    frmMain& m = panel.main;
    bool nested = false;
    panel.atEventPoint = [&] {
        if (std::exchange(nested, true))
            return;
        QTest::keyClick(m.scrIAtt, Qt::Key_Up);
        m.cmdMod_ZIN->click();
    };
    QTest::keyClick(m.scrIAtt, Qt::Key_PageUp);
    panel.atEventPoint = nullptr;
    EXPECT_THAT(newLines(), ElementsAre(":MOD:IATT 8", ":MOD:IATT 9", ":MOD:ZINP 1"));
    EXPECT_EQ(m.lblIAtt->text(), "1.125 dB");
    EXPECT_EQ(instrumentValue(":MOD:IATT"), 9);
}

// Replies that cannot be used, from a scripted instrument.
struct UnusableReplies : ScriptedPanel {
    void SetUp() override
    {
        ScriptedPanel::SetUp();
        panel.startUp();
    }
};

TEST_F(UnusableReplies, LeaveTheirControlsAsTheyAreAndThePanelSendingAgain)
{
    replies = { { ":BAS:IOFF?", "abc\r\n" }, { ":BAS:QOFF?", "99999\r\n" }, { ":MOD:IATT?", "200\r\n" },
        { ":MOD:QATT?", "" }, { ":BAS:SWAP?", "READ ERROR\r\n" }, { ":MOD:IOFF?", "5\r\n" } };
    panel.main.RefreshFromInstrument();
    frmMain& m = panel.main;
    EXPECT_EQ(m.scrBB_I_Off->setting(), 7);
    EXPECT_EQ(m.scrBB_Q_Off->setting(), 7);
    EXPECT_EQ(m.scrIAtt->setting(), 7);
    EXPECT_EQ(m.lblIAtt->text(), "0.875 dB");
    EXPECT_EQ(m.scrQAtt->setting(), 7);
    EXPECT_EQ(m.BasebandSwapState, 7);
    EXPECT_EQ(m.scrIMod->setting(), 5);
    EXPECT_EQ(m.SendEnabled, -1);

    const std::size_t before = panel.line.lines.size();
    QTest::keyClick(m.scrIAtt, Qt::Key_Up);
    EXPECT_THAT(panel.linesSince(before), ElementsAre(":MOD:IATT 8"));
}

TEST_F(UnusableReplies, AToggleStateOtherThanZeroOrOneIsShownAndClickedToZero)
{
    replies = { { ":BAS:SWAP?", "2\r\n" } };
    panel.main.RefreshFromInstrument();
    EXPECT_EQ(panel.main.cmdBB_Swap->text(), ":BASEband:SWAP\n2");
    const std::size_t before = panel.line.lines.size();
    panel.main.cmdBB_Swap->click();
    EXPECT_THAT(panel.linesSince(before), ElementsAre(":BAS:SWAP 0"));
    EXPECT_EQ(panel.main.cmdBB_Swap->text(), ":BASEband:SWAP\n0");
}

TEST_F(UnusableReplies, ReferenceLockShowsTheReplyWordAndTrimsBlanks)
{
    replies = { { ":SYST:REFL?", "  LOCKED  \r\n" } };
    panel.main.RefreshFromInstrument();
    EXPECT_EQ(panel.main.lblRefLock->text(), ":SYSTem:REFLock? = LOCKED");
    replies = { { ":SYST:REFL?", "" } };
    panel.main.RefreshFromInstrument();
    EXPECT_EQ(panel.main.lblRefLock->text(), ":SYSTem:REFLock? = READ TIMEOUT");
    EXPECT_EQ(panel.main.SendEnabled, -1);
}

TEST_F(UnusableReplies, ErrorQueryShowsReadTimeoutAsItsText)
{
    replies = { { ":SYST:ERR?", "" } };
    SeenMessage seen;
    const auto box = acknowledgeNextMessage(seen);
    panel.main.cmdError->click();
    EXPECT_EQ(seen.title, ":SYST:ERR?");
    EXPECT_EQ(seen.text, "READ TIMEOUT");
}

TEST(BeforeTheFirstReadBack, ControlsSendNothing)
{
    sim::SimulatedBridge simulator;
    PanelHarness panel(simulator);
    panel.atEventPoint = [&] {
        panel.main.cmdBB_ZIN->click();
        QTest::keyClick(panel.main.scrBB_Q_Off, Qt::Key_PageUp);
    };
    panel.startUp();
    panel.atEventPoint = nullptr;
    for (const std::string& line : panel.line.lines)
        EXPECT_TRUE(line == " " || line == "SYST:CLE" || line.back() == '?') << line;
    EXPECT_EQ(panel.main.scrBB_Q_Off->setting(), 0);
    EXPECT_EQ(panel.main.cmdBB_ZIN->text(), ":BASband:ZINPut\n0");
}

} // namespace
