// The three windows as the operator meets them after start-up on the
// simulator: every control that takes focus has a name for assistive
// technology, no button is the default, and no caption is cut off by its
// control. CTest runs the
// caption checks at QT_SCALE_FACTOR 1 and 2.
#include <QLabel>
#include <QPushButton>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "panel/frmSaveState.h"
#include "sim/SimulatedBridge.h"
#include "tests/panel/PanelHarness.h"

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

// A default button is drawn as such, and an auto-default one becomes the
// default once it has had the focus.
Findings defaultButtons(const QWidget& window)
{
    Findings found;
    for (const QPushButton* button : window.findChildren<QPushButton*>())
        if (button->isDefault() || button->autoDefault())
            found.push_back(describe(*button));
    return found;
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

Findings clippedCaptions(const QWidget& window)
{
    Findings clipped;
    for (const QPushButton* button : window.findChildren<QPushButton*>())
        if (!fits(button->sizeHint(), button->size()))
            clipped.push_back(describe(*button, button->text(), button->sizeHint()));
    for (const QLabel* label : window.findChildren<QLabel*>())
        if (!fits(neededSize(*label), label->size()))
            clipped.push_back(describe(*label, label->text(), neededSize(*label)));
    return clipped;
}

// Starts the panel on the simulator, opens the user-states window once, and
// applies the inspection to each window while it is open.
struct OpenedWindows : testing::Test {
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
        return findings;
    }
};

TEST_F(OpenedWindows, EveryFocusableControlHasAnAccessibleName)
{
    EXPECT_THAT(inspectEachWindow(unnamedFocusableControls), IsEmpty());
}

TEST_F(OpenedWindows, NoButtonIsTheWindowsDefault)
{
    EXPECT_THAT(inspectEachWindow(defaultButtons), IsEmpty());
}

TEST_F(OpenedWindows, NoCaptionIsClipped)
{
    EXPECT_THAT(inspectEachWindow(clippedCaptions), IsEmpty());
}

} // namespace
