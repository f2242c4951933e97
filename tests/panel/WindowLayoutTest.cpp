// The windows as the operator meets them after start-up on the simulator:
// each carries the program's icon, every control that takes focus has a
// name for assistive technology, and no caption is cut off by its control.
// CTest runs the caption checks at QT_SCALE_FACTOR 1 and 2.
#include <QLabel>
#include <QPushButton>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ProgramIcon.h"
#include "SettingScrollBar.h"
#include "frmSaveState.h"
#include "frmTrafficLog.h"
#include "SimulatedBridge.h"
#include "PanelHarness.h"

using namespace test_support;
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

Findings unnamedFocusableControls(const QWidget& window)
{
    Findings unnamed;
    for (QWidget* widget : window.findChildren<QWidget*>())
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
    for (const QPushButton* button : window.findChildren<QPushButton*>())
        if (!fits(button->sizeHint(), button->size()))
            clipped.push_back(describe(*button, button->text(), button->sizeHint()));
    const QList<QLabel*> labels = window.findChildren<QLabel*>();
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

} // namespace
