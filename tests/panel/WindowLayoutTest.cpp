// The windows as the operator meets them after start-up on the simulator:
// each carries the program's icon, every control that takes focus has a
// name for assistive technology, and no caption is cut off by its control.
// CTest runs the caption checks at QT_SCALE_FACTOR 1 and 2.
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "LinkMonitor.h"
#include "ProgramIcon.h"
#include "ScriptedBridge.h"
#include "SettingScrollBar.h"
#include "StatusLine.h"
#include "WindowIdentify.h"
#include "frmSaveState.h"
#include "frmTrafficLog.h"
#include "SimulatedBridge.h"
#include "EventLoop.h"
#include "PanelHarness.h"

using namespace test_support;
using namespace std::chrono_literals;
using testing::IsEmpty;

namespace {

using Findings = std::vector<std::string>;
using Inspection = Findings (*)(const QWidget& window);

std::string describe(const QWidget& widget)
{
    return widget.window()->objectName().toStdString() + "/" + widget.objectName().toStdString();
}

std::string describe(const QWidget& widget, const QString& caption, QSize needed)
{
    return describe(widget) + " \"" + caption.toStdString() + "\" needs " + std::to_string(needed.width()) + "x"
        + std::to_string(needed.height()) + ", has " + std::to_string(widget.width()) + "x"
        + std::to_string(widget.height());
}

// The window's own widgets, not those of the windows it owns (the main
// window owns the traffic log, hidden until opened).
template <typename Widget> QList<Widget*> widgetsOf(const QWidget& window)
{
    QList<Widget*> own = window.findChildren<Widget*>();
    own.removeIf([&window](const Widget* widget) { return widget->window() != &window; });
    return own;
}

Findings unnamedFocusableControls(const QWidget& window)
{
    Findings unnamed;
    for (QWidget* widget : widgetsOf<QWidget>(window))
        if (widget->focusPolicy() != Qt::NoFocus && widget->accessibleName().trimmed().isEmpty())
            unnamed.push_back(describe(*widget));
    return unnamed;
}

bool fits(QSize needed, QSize available)
{
    return needed.width() <= available.width() && needed.height() <= available.height();
}

// A wrapping label needs only the height its text takes at its own width.
QSize neededSize(const QLabel& label)
{
    if (label.wordWrap())
        return { label.width(), label.heightForWidth(label.width()) };
    return label.sizeHint();
}

void noteIfClipped(const QLabel& label, Findings& clipped)
{
    if (!fits(neededSize(label), label.size()))
        clipped.push_back(describe(label, label.text(), neededSize(label)));
}

// A label grown over its neighbour hides a caption as surely as a clipped one.
Findings clippedCaptions(const QWidget& window)
{
    Findings clipped;
    for (const QPushButton* button : widgetsOf<QPushButton>(window))
        if (!fits(button->sizeHint(), button->size()))
            clipped.push_back(describe(*button, button->text(), button->sizeHint()));
    const QList<QLabel*> labels = widgetsOf<QLabel>(window);
    for (const QLabel* label : labels) {
        noteIfClipped(*label, clipped);
        for (const QLabel* other : labels)
            if (label < other && label->parent() == other->parent() && label->geometry().intersects(other->geometry()))
                clipped.push_back(describe(*label) + " overlaps " + describe(*other));
    }
    return clipped;
}

// Drawn, not only named: an SVG icon whose Qt plugin is missing comes out null.
Findings missingIcon(const QWidget& window)
{
    if (window.windowIcon().pixmap(32).isNull())
        return { window.objectName().toStdString() + " has no icon" };
    return {};
}

// Starts the panel on the simulator, opens the user-states window and the
// traffic log once, and applies the inspection to each window while it is
// open.
struct OpenedWindows : testing::Test {
    OpenedWindows() { panel::setProgramIcon(); }

    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };

    Findings inspectEachWindow(Inspection inspect)
    {
        Findings findings;
        const auto chooserOpened = whenModalOpens<frmSelect>([&](frmSelect* chooser) {
            findings = inspect(*chooser);
            chooser->cmdSelect->click();
        });
        panel.main.Form_Load();
        const Findings inMain = inspect(panel.main);
        findings.insert(findings.end(), inMain.begin(), inMain.end());
        const auto userStatesOpened = whenModalOpens<frmSaveState>([&](frmSaveState* userStates) {
            const Findings inUserStates = inspect(*userStates);
            findings.insert(findings.end(), inUserStates.begin(), inUserStates.end());
            userStates->cmdReturn->click();
        });
        panel.main.cmdUserStates->click();
        frmTrafficLog* trafficLog = panel.main.showTrafficLog();
        const Findings inTrafficLog = inspect(*trafficLog);
        findings.insert(findings.end(), inTrafficLog.begin(), inTrafficLog.end());
        trafficLog->close();
        return findings;
    }
};

TEST_F(OpenedWindows, EachCarriesTheProgramIcon)
{
    EXPECT_THAT(inspectEachWindow(missingIcon), IsEmpty());
}

TEST_F(OpenedWindows, EveryFocusableControlHasAnAccessibleName)
{
    EXPECT_THAT(inspectEachWindow(unnamedFocusableControls), IsEmpty());
}

TEST_F(OpenedWindows, NoCaptionIsClipped)
{
    EXPECT_THAT(inspectEachWindow(clippedCaptions), IsEmpty());
}

// The widest texts the main window shows at run time, each in every label
// that can show it: every attenuator value, the ends of the offset range,
// and both failure words of a reply.
TEST_F(OpenedWindows, NoCaptionIsClippedWithTheWidestRunTimeTexts)
{
    panel.startUp();
    frmMain& m = panel.main;
    Findings clipped;
    const std::pair<panel::SettingScrollBar*, QLabel*> valueLabels[] = { { m.scrBB_I_Off, m.lblBB_I_OFF },
        { m.scrBB_Q_Off, m.lblBB_Q_OFF }, { m.scrMod_I_Off, m.lblMod_I_Off }, { m.scrMod_Q_Off, m.lblMod_Q_Off },
        { m.scrIAtt, m.lblIAtt }, { m.scrQAtt, m.lblQAtt }, { m.scrIMod, m.lblIMod }, { m.scrQMod, m.lblQMod } };
    for (const auto& [slider, label] : valueLabels) {
        const int bottom = slider->bottomSetting(), top = slider->topSetting();
        for (int setting = bottom; setting <= top; setting += top - bottom < 1000 ? 1 : top - bottom) {
            slider->setSetting(setting);
            noteIfClipped(*label, clipped);
        }
    }
    const std::pair<QLabel*, QString> replies[] = { { m.lblIDN, "*IDN? = READ TIMEOUT" },
        { m.lblIDN, "*IDN? = READ ERROR" }, { m.lblRefLock, ":SYSTem:REFLock? = READ TIMEOUT" },
        { m.lblRefLock, ":SYSTem:REFLock? = READ ERROR" } };
    for (const auto& [label, text] : replies) {
        label->setText(text);
        noteIfClipped(*label, clipped);
    }
    EXPECT_THAT(clipped, IsEmpty());
}

// A status line keeps the window's font size whatever it says, within its
// margin; what does not fit is left out where an ellipsis says so, and is in
// the tool tip and the accessible name whole.
TEST_F(OpenedWindows, AStatusLineKeepsItsFontAndMarginAndHoldsTheWholeTextInItsToolTip)
{
    panel.startUp();
    frmMain& m = panel.main;
    const QString busy = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_R6140K_A50285BI-if00-port0 is in use by minicom "
                         "(pid 1234): close it there. ";
    const std::pair<panel::StatusLine*, QString> rows[] = {
        { m.lblLinkStatus, "" },
        { m.lblLinkStatus, "/dev/ttyUSB0 has gone: unplugged, or its program ended." },
        { m.lblLinkStatus, busy + panel::LinkMonitor::RetryNote },
        { m.lblLinkStatus, (busy + panel::LinkMonitor::RetryNote).repeated(3) },
        { m.lblRemoteStatus, "SCPI socket on 127.0.0.1:5025, 8 clients connected, 1 refused" },
        { m.lblRemoteStatus,
            "VXI-11 inst0 on 192.168.100.200, 8 links; SCPI socket on 192.168.100.200:5025, 8 clients connected, 1 "
            "refused\nReachable from other computers, without authentication. " + busy.repeated(2) },
    };
    Findings clipped;
    for (const auto& [line, text] : rows) {
        SCOPED_TRACE(text.toStdString());
        line->setStatus(text);
        noteIfClipped(*line, clipped);
        EXPECT_EQ(line->font().pointSizeF(), m.font().pointSizeF());
        EXPECT_GT(line->contentsRect().left(), line->rect().left());
        EXPECT_LT(line->contentsRect().right(), line->rect().right());
        EXPECT_EQ(line->status(), text);
        if (!text.isEmpty())
            EXPECT_EQ(line->toolTip(), text);
        EXPECT_TRUE(line->accessibleName().endsWith(text));
    }
    EXPECT_THAT(clipped, IsEmpty());
}

// The advice at the end of the longest link texts is never cut while the
// remote status's place above is free: the line grows into it, over no
// other control; once something listens, it keeps to its own place.
TEST_F(OpenedWindows, ALongLinkStatusWrapsIntoTheFreeSpaceAboveIt)
{
    panel.startUp();
    frmMain& m = panel.main;
    const QRect own = m.lblLinkStatus->geometry();
    m.lblLinkStatus->setStatus(QString("The instrument does not answer: its last two queries had no reply. Is it "
                                       "switched on, and its cable in? ") + panel::LinkMonitor::SilenceNote);
    EXPECT_FALSE(m.lblLinkStatus->text().contains(QChar(0x2026))) << m.lblLinkStatus->text().toStdString();
    for (const QWidget* other : m.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_TRUE(other == m.lblLinkStatus || other == m.lblRemoteStatus || !other->isVisible()
            || !other->geometry().intersects(m.lblLinkStatus->geometry())) << other->objectName().toStdString();
    m.showRemoteStatus("SCPI socket on 127.0.0.1:5025, no clients");
    EXPECT_EQ(m.lblLinkStatus->geometry(), own);
}

// A device path too long for the chooser's list or the main window's label
// keeps both its ends in sight, and is whole in the tool tip.
TEST(LongTexts, ADevicePathTooLongForItsPlaceIsWholeInItsToolTip)
{
    const std::string path = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_R6140K_A50285BI-if00-port0";
    const QString entry = QString::fromStdString("R6140K " + path);
    test_support::ScriptedBridge bridge;
    bridge.devices = { { "R6140K", path } };
    PanelHarness panel(bridge);
    QString listed;
    const auto chooser = whenModalOpens<frmSelect>([&listed](frmSelect* window) {
        listed = window->lstSelector->item(0)->toolTip();
        window->cmdSelect->click();
    });
    panel.main.Form_Load();
    EXPECT_EQ(listed, entry);
    const QLabel* shown = panel.main.lblUSB_ID;
    EXPECT_EQ(shown->toolTip(), "USB ID = " + entry);
    EXPECT_TRUE(shown->text().startsWith("USB ID = R6140K /dev/")) << shown->text().toStdString();
    EXPECT_TRUE(shown->text().endsWith("port0")) << shown->text().toStdString();
    Findings clipped;
    noteIfClipped(*shown, clipped);
    EXPECT_THAT(clipped, IsEmpty());
}

// A browser's "Identify": the main window comes up over the traffic log
// that had the focus, flashes its frame, and is left as it was.
TEST_F(OpenedWindows, IdentifyBringsTheMainWindowUpAndFlashesItForAWhile)
{
    const auto chooserOpened = whenModalOpens<frmSelect>([](frmSelect* chooser) { chooser->cmdSelect->click(); });
    panel.main.Form_Load();
    frmTrafficLog* trafficLog = panel.main.showTrafficLog();
    trafficLog->activateWindow();
    ASSERT_TRUE(pumpUntil([&] { return trafficLog->isActiveWindow(); }, 5s));
    panel::WindowIdentify identify(&panel.main);
    identify.identify();
    const auto* frame = panel.main.findChild<QWidget*>("identifyFrame");
    ASSERT_NE(frame, nullptr);
    int shown = 0;
    EXPECT_TRUE(pumpUntil([&] { return (shown += frame->isVisible()), !identify.flashing(); }, 5s));
    EXPECT_TRUE(panel.main.isActiveWindow());
    EXPECT_GT(shown, 0) << "the frame never flashed";
    EXPECT_FALSE(frame->isVisible()) << "the frame stayed";
    trafficLog->close();
}

} // namespace
