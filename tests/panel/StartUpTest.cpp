#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Version.h"
#include "SimulatedBridge.h"
#include "PanelHarness.h"
#include "ScriptedBridge.h"

using namespace test_support;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::Pair;

namespace {

TEST(StartUp, IdentifiesTheSimulatorAndReadsEverySettingBack)
{
    sim::SimulatedBridge simulator;
    PanelHarness panel(simulator);
    panel.startUp();

    EXPECT_EQ(panel.main.windowTitle(), "R6140K Control Panel   V" + QString(app::VersionText));
    EXPECT_EQ(panel.main.lblUSB_ID->text(), "USB ID = R6140K Simulator SIM00001");
    EXPECT_TRUE(panel.main.lblIDN->text().startsWith("*IDN? = R6140K Simulator,R6140K,SIM00001,"));
    EXPECT_EQ(panel.line.lines, StartUpLines);
    EXPECT_TRUE(panel.line.violations.empty());
    EXPECT_EQ(panel.main.SendEnabled, -1);
    EXPECT_EQ(panel.main.lblRefLock->text(), ":SYSTem:REFLock? = 1");
    EXPECT_EQ(panel.main.lblIAtt->text(), "0 dB");
}

TEST(StartUp, WaitsHalfASecondBetweenOpeningAndTheFirstMessage)
{
    ScriptedBridge bridge;
    bridge.devices = { { "R6140K", "A1" } };
    PanelHarness panel(bridge);
    double openedAt = 0;
    double firstWriteAt = 0;
    panel.atEventPoint = [&] {
        if (openedAt == 0 && !bridge.callsNamed("FT_SetTimeouts").empty())
            openedAt = panel.now;
        if (firstWriteAt == 0 && !bridge.writes().empty())
            firstWriteAt = panel.now;
    };
    panel.startUp();
    EXPECT_GE(firstWriteAt - openedAt, 0.5);
    EXPECT_LT(firstWriteAt - openedAt, 0.6);
}

TEST(StartUp, PurgesInputRightBeforeEachQueryIsWrittenAndNowhereElse)
{
    ScriptedBridge bridge;
    bridge.devices = { { "R6140K", "A1" } };
    bridge.respond = [](const std::string& line) { return line.ends_with('?') ? "0\r\n" : ""; };
    PanelHarness panel(bridge);
    panel.startUp();
    std::vector<std::string> afterPurges;
    for (std::size_t i = 0; i + 1 < bridge.calls.size(); ++i)
        if (bridge.calls[i] == "FT_Purge 1")
            afterPurges.push_back(bridge.calls[i + 1]);
    std::vector<std::string> queryWrites;
    for (const std::string& line : StartUpLines)
        if (line.ends_with('?'))
            queryWrites.push_back("FT_Write " + line + "\r\n");
    EXPECT_EQ(afterPurges, queryWrites);
    EXPECT_EQ(bridge.callsNamed("FT_Purge").size(), queryWrites.size());
}

struct Chooser : testing::Test {
    ScriptedBridge bridge;
    PanelHarness panel { bridge };
    std::vector<std::string> rows;
    std::array<int16_t, frmSelect::Rows> mapping {};

    // Starts up, noting the chooser's rows, and picks the given row, by
    // "Select and Continue" or by a double click on it.
    void startUpChoosing(int row, bool byDoubleClick = false)
    {
        const auto watch = whenModalOpens<frmSelect>([this, row, byDoubleClick](frmSelect* chooser) {
            for (int r = 0; r < chooser->lstSelector->count(); ++r)
                rows.push_back(chooser->lstSelector->item(r)->text().toStdString());
            EXPECT_EQ(chooser->lstSelector->currentRow(), 0);
            mapping = chooser->ListToDevice;
            QListWidget* list = chooser->lstSelector;
            const QPoint at = list->visualItemRect(list->item(row)).center();
            if (byDoubleClick) // a press selects, the second press of a double click chooses
                return QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at),
                       QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
            list->setCurrentRow(row);
            chooser->cmdSelect->click();
        });
        panel.main.Form_Load();
    }
};

TEST_F(Chooser, OffersMatchingEntriesAndMapsRowsToDeviceIndices)
{
    bridge.devices = { { "Other bridge", "X1" }, { "R6140K", "A1" }, { "6140-IQ unit", "A2" } };
    startUpChoosing(0);
    EXPECT_THAT(rows, ElementsAre("R6140K A1", "6140-IQ unit A2"));
    EXPECT_EQ(mapping[0], 1);
    EXPECT_EQ(mapping[1], 2);
    EXPECT_EQ(panel.main.Selection, 1);
    EXPECT_THAT(bridge.callsNamed("FT_Open "), ElementsAre("1"));
    EXPECT_EQ(panel.main.lblUSB_ID->text(), "USB ID = R6140K A1");
}

TEST_F(Chooser, SecondRowOpensTheSecondMatchingDevice)
{
    bridge.devices = { { "Other bridge", "X1" }, { "R6140K", "A1" }, { "6140-IQ unit", "A2" } };
    startUpChoosing(1);
    EXPECT_EQ(panel.main.Selection, 2);
    EXPECT_THAT(bridge.callsNamed("FT_Open "), ElementsAre("2"));
}

TEST_F(Chooser, ADoubleClickOnARowChoosesItAsSelectAndContinueDoes)
{
    bridge.devices = { { "R6140K", "A1" }, { "6140-IQ unit", "A2" } };
    startUpChoosing(1, true);
    EXPECT_EQ(panel.main.Selection, 1);
    EXPECT_THAT(bridge.callsNamed("FT_Open "), ElementsAre("1"));
}

TEST_F(Chooser, MatchesTheModelAnywhereButOnlyInCapitals)
{
    bridge.devices = { { "USB Serial", "R6140K-7" }, { "r6140k lab unit", "B1" }, { "Lab 6140-iq", "B2" } };
    startUpChoosing(0);
    EXPECT_THAT(rows, ElementsAre("USB Serial R6140K-7"));
}

TEST_F(Chooser, AsksForASelectionWhenNoRowIsSelected)
{
    bridge.devices = { { "R6140K", "A1" } };
    SeenMessage seen;
    const auto opened = whenModalOpens<frmSelect>([&](frmSelect* chooser) {
        chooser->lstSelector->clearSelection();
        const auto box = acknowledgeNextMessage(seen);
        chooser->cmdSelect->click();
        EXPECT_TRUE(chooser->isVisible());
        chooser->lstSelector->setCurrentRow(0);
        chooser->cmdSelect->click();
    });
    panel.main.Form_Load();
    EXPECT_EQ(seen.title, "No Selection Made");
    EXPECT_EQ(seen.text, "Please select a 6139 to control from the list box.");
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_THAT(bridge.callsNamed("FT_Open "), ElementsAre("0"));
}

TEST_F(Chooser, ReturnAndEnterDoOnlyWhatSpaceDoesOnTheFocusedControl)
{
    const usblink::DeviceList devices = { "Other X1", "R6140K A1", "R6140K A2" };
    const std::pair<std::string, bool> choosesByControl[] = { { "lstSelector", false }, { "cmdSelect", true } };
    for (const auto& [control, chooses] : choosesByControl)
        for (Qt::Key key : ButtonKeys) {
            frmSelect chooser(devices, &panel.main);
            ASSERT_TRUE(chooser.Form_Load());
            chooser.lstSelector->setCurrentRow(1);
            chooser.show();
            QApplication::setActiveWindow(&chooser);
            ASSERT_THAT(tabStops(&chooser), ElementsAre("lstSelector", "cmdSelect"));
            chooser.findChild<QWidget*>(QString::fromStdString(control))->setFocus();
            QTest::keyClick(QApplication::focusWidget(), key);
            EXPECT_EQ(chooser.isVisible(), !chooses) << control << " key " << key;
            EXPECT_EQ(chooser.chosenDevice(), chooses ? 2 : 0) << control << " key " << key;
        }
}

TEST(StartUp, GoesOnWithTheHandleMinusOneWhenOpeningFails)
{
    ScriptedBridge bridge;
    bridge.devices = { { "R6140K", "A1" } };
    bridge.failing = { { "FT_Open", usblink::FT_DEVICE_NOT_OPENED } };
    PanelHarness panel(bridge);
    panel.startUp();

    EXPECT_EQ(panel.main.DevHandle, -1);
    EXPECT_EQ(panel.main.lblUSB_ID->text(), "USB ID = R6140K A1");
    EXPECT_EQ(panel.main.lblIDN->text(), "*IDN? = READ ERROR");
    EXPECT_EQ(panel.main.lblRefLock->text(), ":SYSTem:REFLock? = READ ERROR");
    EXPECT_EQ(panel.line.lines, StartUpLines);
    EXPECT_EQ(panel.main.SendEnabled, -1);
}

TEST(StartUp, ShowsReadTimeoutWhenTheInstrumentIsSilent)
{
    ScriptedBridge bridge;
    bridge.devices = { { "R6140K", "A1" } };
    PanelHarness panel(bridge);
    panel.startUp();
    EXPECT_EQ(panel.main.lblIDN->text(), "*IDN? = READ TIMEOUT");
    EXPECT_EQ(panel.main.scrBB_I_Off->setting(), 0);
    EXPECT_EQ(panel.main.SendEnabled, -1);
}

// Whether a label draws its text as it does when told that the text is plain
// (which it is afterwards).
bool drawsLiterally(QLabel& label)
{
    const auto picture = [&label] {
        QImage image(label.size(), QImage::Format_RGB32);
        image.fill(Qt::white);
        label.render(&image, {}, {}, QWidget::DrawChildren);
        return image;
    };
    const QImage shown = picture();
    label.setTextFormat(Qt::PlainText);
    return picture() == shown;
}

TEST(StartUp, ShowsMarkupInTheInstrumentsTextsLiterally)
{
    const std::string markup = "<b>x</b> a<br>b &lt;";
    ScriptedBridge bridge;
    bridge.devices = { { "R6140K " + markup, "S1" } };
    bridge.respond = [&markup](const std::string& line) { return line.back() == '?' ? markup + "\r\n" : ""; };
    PanelHarness panel(bridge);
    panel.startUp();
    std::vector<std::pair<QString, bool>> shown; // each text, and whether it is drawn literally
    const auto watch = whenModalOpens<QMessageBox>([&shown](QMessageBox* box) {
        auto* label = box->findChild<QLabel*>("qt_msgbox_label");
        shown.emplace_back(label->text(), drawsLiterally(*label));
        box->accept();
    });
    panel.main.cmdError->click();
    for (QLabel* label : { panel.main.lblUSB_ID, panel.main.lblIDN, panel.main.lblRefLock })
        shown.emplace_back(label->text(), drawsLiterally(*label));
    const QString text = QString::fromStdString(markup);
    EXPECT_THAT(shown,
        ElementsAre(Pair(text, true), Pair("USB ID = R6140K " + text + " S1", true), Pair("*IDN? = " + text, true),
            Pair(":SYSTem:REFLock? = " + text, true)));
}

// The program's end: the harness notes the status the panel ends with and
// what the line saw at that moment.
using Ending = testing::Test;

constexpr const char* NoDevicesText = "There were no R6140K devices found. Please hook up the R6140K to this computers "
                                      "USB port and run this program again.";

TEST(Ending, NoDeviceShowsTheErrorBoxAndEndsWithoutTouchingADevice)
{
    ScriptedBridge bridge;
    PanelHarness panel(bridge);
    SeenMessage seen;
    const auto box = acknowledgeNextMessage(seen);
    panel.main.Form_Load();
    EXPECT_EQ(seen.title, "Error");
    EXPECT_EQ(seen.text, NoDevicesText);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(panel.endStatus, 1);
    EXPECT_EQ(panel.story, "closed= lines=");
    EXPECT_EQ(panel.storySoFar(), panel.story);
}

TEST(Ending, NothingMatchingEndsLikeNoDevice)
{
    ScriptedBridge bridge;
    bridge.devices = { { "Other", "X1" }, { "Another", "X2" } };
    PanelHarness panel(bridge);
    SeenMessage seen;
    const auto box = acknowledgeNextMessage(seen);
    panel.main.Form_Load();
    EXPECT_EQ(seen.text, NoDevicesText);
    EXPECT_EQ(panel.endStatus, 1);
    EXPECT_EQ(panel.story, "closed= lines=");
    EXPECT_THAT(bridge.callsNamed("FT_Open"), testing::IsEmpty());
}

TEST(Ending, ClosingTheChooserEndsWithoutOpeningOrWriting)
{
    ScriptedBridge bridge;
    bridge.devices = { { "Other", "X1" }, { "R6140K", "A1" } };
    PanelHarness panel(bridge);
    const auto chooserOpened = whenModalOpens<frmSelect>([](frmSelect* chooser) { chooser->close(); });
    panel.main.Form_Load();
    EXPECT_EQ(panel.endStatus, 0);
    EXPECT_EQ(panel.storySoFar(), "closed= lines=");
    EXPECT_THAT(bridge.callsNamed("FT_Open"), testing::IsEmpty());
}

TEST(Ending, QuitWhileAwaitingTheIdentificationClosesOnceAndWritesNothingMore)
{
    ScriptedBridge bridge;
    bridge.devices = { { "R6140K", "A1" } };
    PanelHarness panel(bridge);
    panel.atEventPoint = [&] {
        if (bridge.writes().size() == 3 && !panel.endStatus)
            panel.main.cmdQuit->click();
    };
    panel.startUp();
    EXPECT_EQ(panel.endStatus, 0);
    EXPECT_EQ(panel.story, "closed=7; lines= |SYST:CLE|*IDN?");
    EXPECT_EQ(panel.storySoFar(), panel.story);
}

TEST(Ending, ClosingTheWindowDuringTheWaitClosesTheOpenDevice)
{
    ScriptedBridge bridge;
    bridge.devices = { { "R6140K", "A1" } };
    PanelHarness panel(bridge);
    panel.atEventPoint = [&] {
        if (panel.main.DevHandle == 7 && !panel.endStatus)
            panel.main.close();
    };
    panel.startUp();
    EXPECT_EQ(panel.endStatus, 0);
    EXPECT_EQ(panel.storySoFar(), "closed=7; lines=");
}

TEST(Ending, QuitAfterStartUpClosesTheDeviceOnceWhicheverKeyPressesIt)
{
    for (Qt::Key key : ButtonKeys) {
        sim::SimulatedBridge simulator;
        PanelHarness panel(simulator);
        panel.startUp();
        QApplication::setActiveWindow(&panel.main);
        panel.main.cmdQuit->setFocus();
        QTest::keyClick(panel.main.cmdQuit, key);
        EXPECT_EQ(panel.endStatus, 0) << key;
        EXPECT_THAT(panel.story, testing::MatchesRegex("closed=1; lines=.*:SYST:REFL\\?")) << key;
    }
    sim::SimulatedBridge simulator;
    PanelHarness panel(simulator);
    panel.startUp();
    QApplication::setActiveWindow(&panel.main);
    QTest::keyClick(&panel.main, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(panel.endStatus, 0) << "Ctrl+Q";
    EXPECT_THAT(panel.story, testing::MatchesRegex("closed=1; lines=.*:SYST:REFL\\?")) << "Ctrl+Q";
}

} // namespace
