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
#include "LinkMonitor.h"
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

// The line breaks at the write of one line, told by the test: that write
// fails with the given status, and where the break lasts so does every call
// after it.
struct BreakingBridge : usblink::ForwardingBridge {
    using ForwardingBridge::ForwardingBridge;
    std::string at;
    usblink::FT_STATUS status = usblink::FT_OK;
    bool lasting = false;
    bool broken = false;

    usblink::FT_STATUS FT_Write(usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        if (!broken && !at.empty() && std::string(static_cast<const char*>(buffer), count) == at + "\r\n") {
            broken = true;
            return status;
        }
        return ForwardingBridge::FT_Write(handle, buffer, count, written);
    }
    usblink::FT_STATUS forward(const char* name, const std::function<usblink::FT_STATUS()>& call) override
    {
        return broken && lasting ? status : ForwardingBridge::forward(name, call);
    }
};

struct SetupFiles : testing::Test {
    sim::SimulatedBridge simulator;
    BreakingBridge line { simulator };
    PanelHarness panel { line };
    QTemporaryDir folder;
    const QString path = folder.filePath("bench.scpi");

    void SetUp() override { panel.startUp(); }

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
        const auto dialog = chooseInNextFileDialog(folder.filePath("bench")); // the suffix is added
        press(QKeySequence::Save);
    }
    EXPECT_EQ(awaitMessage().text, "Saved the settings to " + path);
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
        const auto dialog = chooseInNextFileDialog(path);
        const auto confirm = answer(confirmation, QMessageBox::Ok);
        press(QKeySequence::Open);
    }
    EXPECT_EQ(awaitMessage().text, "Setup loaded: 11 settings sent.\n\nErrors queued before the load: -113,\"Undefined header\"");
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

struct BrokenLoad {
    const char* name;
    const char* at; // the line whose write breaks the line
    usblink::FT_STATUS status;
    bool lasting;
    std::size_t reached; // of the file's messages
    const char* says;
};

const char* const FileMessages[] = { ":BAS:SWAP 1", ":BAS:ZINP 0", ":BAS:IOFF -5", ":BAS:QOFF 6", ":MOD:ZINP 1",
    ":MOD:IATT 41", ":MOD:QATT 9", ":MOD:IINP 2", ":MOD:QINP 3", ":MOD:IOFF 4", ":MOD:QOFF 7" };
const std::string FirstFive = ":BAS:SWAP 1, :BAS:ZINP 0, :BAS:IOFF -5, :BAS:QOFF 6, :MOD:ZINP 1";

const BrokenLoad BrokenLoads[] = {
    { "a write fails on a line still there", ":MOD:IATT 41", usblink::FT_IO_ERROR, false, 5,
        "5 of 11 sent: FIVE; the instrument holds a mix of the old and the new setup" },
    { "the line goes at a write", ":MOD:IATT 41", usblink::FT_DEVICE_NOT_FOUND, true, 5,
        "5 of 11 sent: FIVE; the instrument holds a mix of the old and the new setup" },
    { "the line goes at the first write", ":BAS:SWAP 1", usblink::FT_DEVICE_NOT_FOUND, true, 0,
        "0 of 11 sent; the instrument still holds its old setup" },
    { "the line goes after the last write", ":BAS:SWAP?", usblink::FT_DEVICE_NOT_FOUND, true, 11,
        "11 of 11 sent: FIVE, :MOD:IATT 41, :MOD:QATT 9, :MOD:IINP 2, :MOD:QINP 3, :MOD:IOFF 4, :MOD:QOFF 7; nothing "
        "answered after them (READ ERROR), so the instrument may hold a mix of the old and the new setup" },
};

// What reached the instrument is counted on its side: nothing goes out after
// the failed write, the read-back and the error queue's asking neither.
TEST_F(SetupFiles, ALoadTheLineBreaksSaysWhatWasSentAndSendsNothingMore)
{
    std::string text;
    for (const char* message : FileMessages)
        text += std::string(message) + "\n";
    std::ofstream(path.toStdString()) << text;
    std::vector<std::string> reached;
    simulator.instrument().setLineObserver([&reached](std::string_view received) { reached.emplace_back(received); });
    for (const BrokenLoad& row : BrokenLoads) {
        SCOPED_TRACE(row.name);
        reached.clear();
        line.at = row.at;
        line.status = row.status;
        line.lasting = row.lasting;
        line.broken = false;
        QString confirmation;
        {
            const auto dialog = chooseInNextFileDialog(path);
            const auto confirm = answer(confirmation, QMessageBox::Ok);
            press(QKeySequence::Open);
        }
        EXPECT_EQ(awaitMessage().text.toStdString(), "The load was cut short: " + QString(row.says).replace("FIVE",
            QString::fromStdString(FirstFive)).toStdString() + ". Load the setup again once the link is back.");
        std::vector<std::string> expected = { ":SYST:ERR?" };
        expected.insert(expected.end(), std::begin(FileMessages), std::begin(FileMessages) + row.reached);
        EXPECT_EQ(reached, expected);
        // Nothing was read back, so no value shown is known any more.
        EXPECT_EQ(panel.main.slider(instrument::SettingId::ModulatorQOffset)->accessibleDescription(),
            "not read: a setup load was cut short");
        // Mended, for the next row.
        line.at.clear();
        line.broken = false;
        if (panel.session.linkDown())
            panel.main.linkMonitor->attempt();
        ASSERT_FALSE(panel.session.linkDown()) << panel.session.linkProblem();
    }
}

TEST_F(SetupFiles, AFileOfAnotherUnitIsNamedAndCancellingSendsNothing)
{
    std::ofstream(path.toStdString()) << "# *IDN? = R6140K,R6140K,OTHER42,2.0.0\n:MOD:QATT 9\n";
    const std::size_t mark = panel.line.lines.size();
    QString question;
    {
        const auto dialog = chooseInNextFileDialog(path);
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
        const auto dialog = chooseInNextFileDialog(path);
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
