// Ctrl+S and Ctrl+O on the main window, over the in-process simulator, with
// the file dialogs and message boxes answered as an operator would.

#include <QFileDialog>
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

#include "SimulatedBridge.h"
#include "EventLoop.h"
#include "PanelHarness.h"

using namespace test_support;
using instrument::SettingId;

namespace {

std::string contentsOf(const QString& path)
{
    std::ifstream in(path.toStdString());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct SetupFiles : testing::Test {
    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };
    QTemporaryDir folder;
    const QString path = folder.filePath("bench.scpi");

    void SetUp() override { panel.startUp(); }

    // Picks the path in the next file dialog.
    ModalWatch chooseInDialog(const QString& chosen)
    {
        return whenModalOpens<QFileDialog>([chosen](QFileDialog* dialog) {
            dialog->selectFile(chosen);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
        });
    }

    // The outcome box, told once the exchange has run.
    SeenMessage outcome()
    {
        SeenMessage seen;
        const auto watch = acknowledgeNextMessage(seen);
        EXPECT_TRUE(pumpUntil([&seen] { return !seen.text.isEmpty(); }));
        return seen;
    }

    // Answers the next question with the given button; its text.
    static ModalWatch answer(QString& question, QMessageBox::StandardButton button,
        std::source_location where = std::source_location::current())
    {
        return whenModalOpens<QMessageBox>(
            [&question, button](QMessageBox* box) {
                question = box->text();
                box->button(button)->click();
            },
            where);
    }

    void press(QKeySequence::StandardKey key)
    {
        QApplication::setActiveWindow(&panel.main);
        QTest::keySequence(&panel.main, key);
    }
};

TEST_F(SetupFiles, SavedSettingsComeBackAfterAResetThroughTheQueue)
{
    panel.session.send(":MOD:IATT 41");
    panel.session.send(":BAS:IOFF -1234");
    {
        const auto dialog = chooseInDialog(folder.filePath("bench")); // the suffix is added
        press(QKeySequence::Save);
    }
    EXPECT_EQ(outcome().text, "Saved the settings to " + path);
    const std::string saved = contentsOf(path);
    EXPECT_THAT(saved, testing::StartsWith("# *IDN? = R6140K Simulator,R6140K,SIM00001,"));
    EXPECT_THAT(saved, testing::HasSubstr("\n# port = R6140K Simulator SIM00001\n"));
    EXPECT_THAT(saved, testing::HasSubstr("\n:BAS:IOFF -1234\n:BAS:QOFF 0\n:MOD:ZINP 0\n:MOD:IATT 41\n"));

    panel.main.cmdRST->click();
    ASSERT_EQ(panel.main.scrIAtt->setting(), 0);
    panel.session.send("FOO 1"); // someone else's error, not the load's
    const std::size_t mark = panel.line.lines.size();
    QString confirmation;
    {
        const auto dialog = chooseInDialog(path);
        const auto confirm = answer(confirmation, QMessageBox::Ok);
        press(QKeySequence::Open);
    }
    EXPECT_EQ(outcome().text, "Setup loaded: 11 settings sent.\n\nErrors queued before the load: -113,\"Undefined header\"");
    EXPECT_THAT(confirmation.toStdString(), testing::StartsWith("Send these 11 messages?\n\n:BAS:SWAP 0\n"));
    std::vector<std::string> expected = { ":SYST:ERR?", ":SYST:ERR?" };
    for (const instrument::Setting& setting : instrument::Settings)
        expected.push_back(setting.prefix + std::to_string(setting.id == SettingId::ModulatorIAttenuator ? 41
                : setting.id == SettingId::BasebandIOffset                                               ? -1234
                                                                                                          : 0));
    expected.insert(expected.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    expected.push_back(":SYST:ERR?");
    EXPECT_EQ(panel.linesSince(mark), expected);
    EXPECT_EQ(panel.main.scrIAtt->setting(), 41);
    EXPECT_EQ(panel.main.scrBB_I_Off->setting(), -1234);
}

TEST_F(SetupFiles, AFileOfAnotherUnitIsNamedAndCancellingSendsNothing)
{
    std::ofstream(path.toStdString()) << "# *IDN? = R6140K,R6140K,OTHER42,2.0.0\n:MOD:QATT 9\n";
    const std::size_t mark = panel.line.lines.size();
    QString question;
    {
        const auto dialog = chooseInDialog(path);
        const auto cancel = answer(question, QMessageBox::Cancel);
        press(QKeySequence::Open);
    }
    EXPECT_EQ(question.toStdString(), "This setup was saved from the instrument with serial number OTHER42; this one is "
                                      "SIM00001.\n\nSend this message?\n\n:MOD:QATT 9");
    QCoreApplication::processEvents();
    EXPECT_EQ(panel.linesSince(mark), std::vector<std::string> {});
}

TEST_F(SetupFiles, ABadFileIsRefusedWithItsLineBeforeAnythingIsSent)
{
    std::ofstream(path.toStdString()) << ":MOD:QATT 9\n:MOD:IATT 128\n";
    const std::size_t mark = panel.line.lines.size();
    SeenMessage seen;
    {
        const auto dialog = chooseInDialog(path);
        const auto refused = acknowledgeNextMessage(seen);
        press(QKeySequence::Open);
    }
    EXPECT_EQ(seen.text, path + ": line 2: 128 is out of range for MODulator:IATTenuator (0 to 127). Nothing was sent.");
    EXPECT_EQ(panel.linesSince(mark), std::vector<std::string> {});
}

TEST_F(SetupFiles, KeysDoNothingWhileThePanelDoesNotSend)
{
    int opened = 0;
    const auto watch = onEveryModal<QWidget>([&opened](QWidget* window) {
        ++opened;
        window->close();
    });
    panel.main.SendEnabled = 0; // as during a read-back
    for (QAction* action : { panel.main.actSaveSetup, panel.main.actLoadSetup })
        action->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(opened, 0);
    EXPECT_EQ(panel.main.actSaveSetup->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
    EXPECT_EQ(panel.main.actLoadSetup->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_O));
}

} // namespace
