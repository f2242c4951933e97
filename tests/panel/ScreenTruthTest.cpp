// What the main window says of what it knows: values never read, or whose
// read failed, drawn greyed and described as such; what it waits for; and
// what assistive technology reads of every control.
#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "PanelHarness.h"
#include "ReferenceLockWatch.h"
#include "SimulatedBridge.h"
#include "ScriptedPanel.h"
#include "SettingText.h"
#include "StatusLine.h"
#include "frmSaveState.h"

using namespace test_support;
using instrument::SettingId;
using instrument::SettingKind;

namespace {

using namespace std::chrono_literals;

// In the active window and in the others alike.
bool drawnGreyed(const QWidget* control)
{
    const QPalette& colours = control->palette();
    for (const QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive })
        for (const QPalette::ColorRole role : { QPalette::WindowText, QPalette::ButtonText })
            if (colours.color(group, role) != colours.color(QPalette::Disabled, role))
                return false;
    return true;
}

QString accessible(QWidget* control, QAccessible::Text kind)
{
    return QAccessible::queryAccessibleInterface(control)->text(kind);
}

// The controls that show a setting: its button, or its slider and value label.
std::vector<QWidget*> controlsOf(const frmMain& main, SettingId id)
{
    if (QPushButton* button = main.button(id))
        return { button };
    return { main.slider(id), main.valueLabel(id) };
}

// Each setting's description at one moment; "" where it is known, and its
// description then is what its tool tip says of it.
using Descriptions = std::map<SettingId, std::string>;

struct Moment {
    const char* name;
    std::function<void(ScriptedPanel&)> reach;
    Descriptions expected;
    std::string lock; // the reference lock line's description, as a setting's
};

Descriptions everySetting(const std::string& description)
{
    Descriptions all;
    for (const instrument::Setting& setting : instrument::Settings)
        all[setting.id] = description;
    return all;
}

Descriptions everySettingBut(Descriptions exceptions)
{
    Descriptions all = everySetting("");
    for (const auto& [id, description] : exceptions)
        all[id] = description;
    return all;
}

const Moment Moments[] = {
    { "BehindTheChooser", [](ScriptedPanel& f) {
            const auto leave = whenModalOpens<frmSelect>([](frmSelect* chooser) { chooser->reject(); });
            f.panel.main.Form_Load();
        },
        everySetting("not read"), "not read" },
    { "AfterASilentStartUp", [](ScriptedPanel& f) {
            f.bridge.respond = nullptr;
            f.panel.startUp();
        },
        everySetting("not read: READ TIMEOUT"), "not read: READ TIMEOUT" },
    { "AfterFailedReads", [](ScriptedPanel& f) {
            f.replies = { { ":MOD:IATT?", "" }, { ":BAS:SWAP?", "abc\r\n" }, { ":BAS:IOFF?", "40000\r\n" } };
            f.panel.startUp();
        },
        everySettingBut({ { SettingId::ModulatorIAttenuator, "not read: READ TIMEOUT" },
            { SettingId::BasebandSwap, "not read: no value in the reply" },
            { SettingId::BasebandIOffset, "not read: no value in the reply" } }), "" },
    { "AfterTheLinkWentDown", [](ScriptedPanel& f) {
            f.panel.startUp();
            f.bridge.failing = { { "FT_Write", usblink::FT_DEVICE_NOT_FOUND } };
            f.panel.main.cmdBB_ZIN->click();
        },
        everySetting("not read: the link went down"), "not read: the link went down" },
    { "AfterF5WithTheLinkDown", [](ScriptedPanel& f) {
            f.panel.startUp();
            f.bridge.failing = { { "FT_Write", usblink::FT_DEVICE_NOT_FOUND } };
            f.panel.main.cmdBB_ZIN->click();
            f.panel.main.actRefresh->trigger();
        },
        everySetting("not read: READ ERROR"), "not read: READ ERROR" },
    { "AfterAFailedReadAndASend", [](ScriptedPanel& f) {
            f.replies = { { ":MOD:ZINP?", "" }, { ":MOD:QATT?", "" } };
            f.panel.startUp();
            f.panel.main.cmdMod_ZIN->click();
        },
        everySettingBut({ { SettingId::ModulatorQAttenuator, "not read: READ TIMEOUT" } }), "" },
    { "AfterAFailedReadAndASliderMove", [](ScriptedPanel& f) {
            f.replies = { { ":MOD:QATT?", "" } };
            f.panel.startUp();
            QTest::keyClick(f.panel.main.scrQAtt, Qt::Key_Up);
        },
        everySetting(""), "" },
    { "AfterASuccessfulReadBack", [](ScriptedPanel& f) {
            f.replies = { { ":MOD:IATT?", "" } };
            f.panel.startUp();
            f.replies.clear();
            f.panel.main.actRefresh->trigger();
        },
        everySetting(""), "" },
};

class KnownValues : public ScriptedPanel, public testing::WithParamInterface<Moment> { };

TEST_P(KnownValues, UnknownValuesAreGreyedAndSaySoAndKnownOnesAreNot)
{
    GetParam().reach(*this);
    for (const auto& [id, description] : GetParam().expected) {
        for (QWidget* control : controlsOf(panel.main, id)) {
            SCOPED_TRACE(control->objectName().toStdString());
            EXPECT_EQ(accessible(control, QAccessible::Description),
                description.empty() ? control->toolTip() : QString::fromStdString(description));
            EXPECT_EQ(drawnGreyed(control), !description.empty());
            EXPECT_TRUE(control->isEnabled()) << "greyed, yet taking input as the panel lets it";
        }
    }
    QLabel* lock = panel.main.lblRefLock;
    EXPECT_EQ(accessible(lock, QAccessible::Description),
        GetParam().lock.empty() ? lock->toolTip() : QString::fromStdString(GetParam().lock));
    EXPECT_EQ(drawnGreyed(lock), !GetParam().lock.empty());
}

INSTANTIATE_TEST_SUITE_P(Moments, KnownValues, testing::ValuesIn(Moments),
    [](const testing::TestParamInfo<Moment>& info) { return info.param.name; });

// The panel's own exchange, with the session's clock moved on at each event
// point: past 300 ms the pointer is busy and the link status line says what
// is awaited; both go when the exchange ends.
struct BusyRow {
    const char* name;
    std::chrono::milliseconds perEventPoint;
    std::function<void(frmMain&)> act;
    std::set<QString> shown;
};

const BusyRow BusyRows[] = {
    { "ReadBack", 100ms, [](frmMain& m) { m.actRefresh->trigger(); }, { "Reading settings back…" } },
    { "ErrorQuery", 200ms, [](frmMain& m) {
            SeenMessage seen;
            const auto box = acknowledgeNextMessage(seen);
            m.cmdError->click();
        },
        { "Waiting for the instrument's reply to :SYST:ERR?" } },
    { "ShortWaits", 5ms, [](frmMain& m) { m.actRefresh->trigger(); }, {} },
};

class Busy : public ScriptedPanel, public testing::WithParamInterface<BusyRow> { };

TEST_P(Busy, ShowsWhatIsAwaitedPast300MsAndNothingOnceItEnds)
{
    std::chrono::milliseconds now { 10s }; // not zero: the wait counts from the exchange's start
    panel.sessionClock = [&now] { return now; };
    panel.startUp();
    frmMain& m = panel.main;
    std::set<QString> shown;
    std::optional<std::chrono::milliseconds> firstShown;
    bool busyPointer = true;
    const std::chrono::milliseconds start = now;
    panel.atEventPoint = [&] {
        now += GetParam().perEventPoint;
        const QString status = m.lblLinkStatus->status();
        if (status.isEmpty())
            return;
        shown.insert(status);
        busyPointer = busyPointer && m.cursor().shape() == Qt::BusyCursor;
        firstShown = firstShown.value_or(now);
    };
    GetParam().act(m);
    panel.atEventPoint = nullptr;
    EXPECT_EQ(shown, GetParam().shown);
    EXPECT_TRUE(busyPointer);
    if (firstShown)
        EXPECT_GT(*firstShown - start, 300ms);
    EXPECT_EQ(m.lblLinkStatus->status(), "");
    EXPECT_NE(m.cursor().shape(), Qt::BusyCursor);
}

INSTANTIATE_TEST_SUITE_P(Exchanges, Busy, testing::ValuesIn(BusyRows),
    [](const testing::TestParamInfo<BusyRow>& info) { return info.param.name; });

// Every control of the main window as assistive technology reads it, against
// what the window shows.
TEST_F(ScriptedPanel, AssistiveTechnologyReadsWhatTheWindowShows)
{
    replies = { { ":BAS:IOFF?", "500\r\n" }, { ":MOD:IATT?", "41\r\n" }, { ":BAS:SWAP?", "1\r\n" } };
    panel.startUp();
    frmMain& m = panel.main;
    for (const instrument::Setting& setting : instrument::Settings) {
        SCOPED_TRACE(setting.query);
        if (QPushButton* button = m.button(setting.id)) {
            const QString state = QString::number(m.state(setting.id));
            EXPECT_THAT(accessible(button, QAccessible::Name).toStdString(),
                testing::StartsWith(button->text().replace('\n', " = ").toStdString()));
            continue;
        }
        panel::SettingScrollBar* slider = m.slider(setting.id);
        QAccessibleInterface* read = QAccessible::queryAccessibleInterface(slider);
        QAccessibleValueInterface* value = read->valueInterface();
        ASSERT_TRUE(value);
        EXPECT_EQ(read->role(), QAccessible::Slider);
        const double perStep = setting.kind == SettingKind::Attenuator ? 0.125 : 1;
        const instrument::SettingRange range = instrument::rangeOf(setting.kind);
        EXPECT_EQ(value->currentValue().toDouble(), slider->setting() * perStep);
        EXPECT_EQ(value->minimumValue().toDouble(), range.min * perStep);
        EXPECT_EQ(value->maximumValue().toDouble(), range.max * perStep);
        EXPECT_EQ(value->minimumStepSize().toDouble(), perStep);
        const QString shown = m.valueLabel(setting.id)->text();
        EXPECT_EQ(read->text(QAccessible::Value), setting.kind == SettingKind::Attenuator ? shown : shown + " counts");
        EXPECT_THAT(accessible(m.valueLabel(setting.id), QAccessible::Name).toStdString(),
            testing::EndsWith(" = " + shown.toStdString()));
    }
    EXPECT_EQ(accessible(m.scrIAtt, QAccessible::Value), "5.125 dB");
    EXPECT_EQ(accessible(m.cmdBB_Swap, QAccessible::Name), ":BASEband:SWAP = 1, Baseband I/Q swap");
}

// Each accessible name holds the control's visible caption.
TEST_F(ScriptedPanel, NamesHoldTheCaptions)
{
    panel.startUp();
    for (QPushButton* button : panel.main.findChildren<QPushButton*>()) {
        const QString caption = button->text().remove('&').section('\n', 0, 0);
        EXPECT_TRUE(accessible(button, QAccessible::Name).contains(caption)) << caption.toStdString();
    }
}

TEST_F(ScriptedPanel, TheUserStateSelectorReadsAsTheStateNumber)
{
    panel.startUp();
    frmSaveState window(panel.session, &panel.main);
    QTest::keyClicks(window.scrUser, "", Qt::NoModifier);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(window.scrUser, Qt::Key_Up);
    QAccessibleInterface* read = QAccessible::queryAccessibleInterface(window.scrUser);
    EXPECT_EQ(read->valueInterface()->currentValue().toInt(), 3);
    EXPECT_EQ(read->text(QAccessible::Value), "3");
    EXPECT_EQ(read->valueInterface()->maximumValue().toInt(), 9);
    EXPECT_EQ(accessible(window.lblUser, QAccessible::Name), "User state = 3");
}

// The lock watch on the session's clock, over the simulator: it asks only
// once its interval has passed and the panel is idle, and a change of lock
// is shown, announced and logged at once.
TEST(LockWatch, AsksWhileIdleOnceItsIntervalHasPassedAndTellsAChangeAtOnce)
{
    sim::SimulatedBridge simulator;
    PanelHarness panel(simulator, {}, 5000ms);
    std::chrono::milliseconds now { 0 };
    panel.sessionClock = [&now] { return now; };
    panel.startUp();
    std::vector<std::string> traffic;
    panel.session.addLineObserver([&traffic](auto direction, const std::string& line, const std::string& origin) {
        const char* kind = direction == session::InstrumentSession::Direction::Note ? "note " : "";
        traffic.push_back(kind + origin + ": " + line);
    });
    QLabel* lock = panel.main.lblRefLock;
    const auto tickAt = [&](std::chrono::milliseconds at) {
        now = at;
        panel.main.lockWatch()->tick();
        return std::exchange(traffic, {});
    };

    EXPECT_THAT(tickAt(4999ms), testing::IsEmpty());
    EXPECT_THAT(tickAt(5000ms), testing::ElementsAre("panel, lock watch: :SYST:REFL?", "panel, lock watch: 1"));
    simulator.instrument().setReferenceLocked(false);
    EXPECT_THAT(tickAt(9999ms), testing::IsEmpty());
    EXPECT_THAT(tickAt(10000ms),
        testing::ElementsAre("panel, lock watch: :SYST:REFL?", "panel, lock watch: 0", "note panel: reference lock: 1 -> 0"));
    EXPECT_EQ(lock->text(), ":SYSTem:REFLock? = 0");
    EXPECT_EQ(accessible(lock, QAccessible::Name), ":SYSTem:REFLock? = 0, Reference lock");

    // Due while the panel's own exchange runs: not asked then.
    panel.atEventPoint = [&] { panel.main.lockWatch()->tick(); };
    now = 20000ms;
    panel.main.actRefresh->trigger();
    panel.atEventPoint = nullptr;
    EXPECT_EQ(std::exchange(traffic, {}).size(), 2 * ReadBackQueries.size());
    EXPECT_THAT(tickAt(24999ms), testing::IsEmpty()) << "the read-back read the lock";
}

} // namespace
