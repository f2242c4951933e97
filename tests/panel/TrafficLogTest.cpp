// The traffic log window, opened by Ctrl+L on the panel over the simulator,
// and the model that keeps its lines.
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "Version.h"
#include "SimulatedBridge.h"
#include "TrafficLogModel.h"
#include "frmTrafficLog.h"
#include "EventLoop.h"
#include "LinkMonitor.h"
#include "PanelHarness.h"
#include "ScriptedPanel.h"
#include "UnsendableMessages.h"

using namespace test_support;
using testing::ElementsAre;

namespace {

struct TrafficLog : testing::Test {
    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };
    frmTrafficLog* log = nullptr;
    qsizetype listedAtOpening = 0;

    void SetUp() override
    {
        panel.startUp();
        open();
    }

    void open()
    {
        QApplication::setActiveWindow(&panel.main);
        QTest::keyClick(&panel.main, Qt::Key_L, Qt::ControlModifier);
        log = panel.main.findChild<frmTrafficLog*>();
        ASSERT_TRUE(log && log->isVisible());
        QApplication::setActiveWindow(log);
        listedAtOpening = log->lstTraffic->model()->rowCount();
    }

    void enter(const char* message)
    {
        log->txtCommand->clear();
        QTest::keyClicks(log->txtCommand, message);
        QTest::keyClick(log->txtCommand, Qt::Key_Return);
    }

    // Each line kept since the given row, without its time, which is
    // checked on its own; by default those since the log was opened.
    QStringList linesWithoutTime(std::optional<qsizetype> from = {})
    {
        QStringList lines = log->linesAsText().split('\n', Qt::SkipEmptyParts).sliced(from.value_or(listedAtOpening));
        static const QRegularExpression time(R"(^[0-2][0-9]:[0-5][0-9]:[0-5][0-9]\.[0-9]{3}\t)");
        for (QString& line : lines) {
            EXPECT_TRUE(time.match(line).hasMatch()) << line.toStdString();
            line.remove(time);
        }
        return lines;
    }
};

TEST_F(TrafficLog, TheCommandLineHasTheFocusAndAQuerysReplyIsListed)
{
    EXPECT_EQ(log->focusWidget(), log->txtCommand);
    enter("*IDN?");
    EXPECT_THAT(linesWithoutTime(),
        ElementsAre("sent\tcommand line\t*IDN?",
            QString("received\tcommand line\tR6140K Simulator,R6140K,SIM00001,") + app::VersionText));
    EXPECT_EQ(log->lstTraffic->model()->rowCount(), listedAtOpening + 2);
}

// The command line is one of the others the panel follows: a setting it
// sends is read back once it is quiet, and the slider shows the reply.
TEST_F(TrafficLog, ASettingSentFromTheCommandLineIsReadBackOntoItsSlider)
{
    enter(":MOD:QATT 5");
    ASSERT_TRUE(pumpUntil([this] { return !panel.main.follower().pending(); }));
    EXPECT_EQ(shownValue(panel.main, instrument::SettingId::ModulatorQAttenuator), 5);
    EXPECT_THAT(linesWithoutTime(),
        ElementsAre("sent\tcommand line\t:MOD:QATT 5", "sent\tpanel\t:MOD:QATT?", "received\tpanel\t5"));
}

// Opened, the log shows what led up to now: the start-up, though it was
// never open then, and what came while it was closed, by Esc or Ctrl+W
// from its command line.
TEST_F(TrafficLog, RecordsFromStartUpAndWhileClosedByEscOrCtrlW)
{
    EXPECT_THAT(linesWithoutTime(0), testing::IsSupersetOf({ "sent\tpanel\tSYST:CLE", "sent\tpanel\t*IDN?" }));
    const qsizetype listedAtFirstOpening = listedAtOpening;
    for (const QKeyCombination keys : { QKeyCombination(Qt::Key_Escape), Qt::CTRL | Qt::Key_W }) {
        QTest::keyClick(log->txtCommand, keys.key(), keys.keyboardModifiers());
        EXPECT_FALSE(log->isVisible()) << QKeySequence(keys).toString().toStdString();
        QTest::keyClick(panel.main.scrIAtt, Qt::Key_Up);
        open();
    }
    EXPECT_THAT(
        linesWithoutTime(listedAtFirstOpening), ElementsAre("sent\tpanel\t:MOD:IATT 1", "sent\tpanel\t:MOD:IATT 2"));
}

// At its capacity, each batch drops as many of the oldest lines as it adds:
// a list at its newest line stays there, one scrolled back keeps its lines
// in view.
TEST_F(TrafficLog, PastItsCapacityFollowsTheNewestLinesUnlessScrolledBack)
{
    QTreeView* list = log->lstTraffic;
    auto* lines = static_cast<panel::TrafficLogModel*>(list->model());
    const auto exchangeBatch = [&](int count) {
        for (int n = 0; n < count; ++n)
            panel.session.send("*CLS");
        lines->showPending();
    };
    exchangeBatch(panel::TrafficLogModel::DefaultCapacity);
    exchangeBatch(100);
    EXPECT_TRUE(list->viewport()->rect().contains(list->visualRect(lines->index(lines->rowCount() - 1, 0))));
    list->scrollTo(lines->index(5000, 0), QAbstractItemView::PositionAtTop);
    exchangeBatch(100);
    EXPECT_EQ(list->indexAt({}).row(), 4900);
}

// Rows, with room on the right, on the left only, on neither side: where the
// main window's frame is put and where the log's should first open, from the
// screen's left, given the widths of the screen and both frames.
TEST(TrafficLogWindow, OpensBesideTheMainWindowAndThenWhereTheOperatorLeftIt)
{
    using Lefts = std::pair<int, int> (*)(int screen, int main, int log);
    for (const Lefts lefts : std::initializer_list<Lefts> {
             [](int s, int m, int l) { return std::pair(std::min(0, s - m - l), std::min(0, s - m - l) + m); },
             [](int s, int, int l) { return std::pair((s + l) / 2, (s - l) / 2); },
             [](int s, int m, int l) { return std::pair(0, std::min(m, s - l)); } }) {
        sim::SimulatedBridge simulator;
        PanelHarness panel { simulator };
        panel.startUp();
        auto* log = panel.main.findChild<frmTrafficLog*>();
        const QRect screen = panel.main.screen()->availableGeometry(), main = panel.main.frameGeometry();
        const auto [mainLeft, logLeft]
            = lefts(screen.width(), main.width(), log->width() + main.width() - panel.main.width());
        panel.main.move(screen.x() + mainLeft, screen.y());
        EXPECT_EQ(panel.main.showTrafficLog()->frameGeometry().topLeft(), QPoint(screen.x() + logLeft, screen.y()));
        log->move(screen.topLeft());
        log->close();
        EXPECT_EQ(panel.main.showTrafficLog()->pos(), screen.topLeft());
    }
}

TEST_F(TrafficLog, CopiesTheSelectedLinesOrElseAllAndSavesAll)
{
    enter("*IDN?");
    enter(":SYST:ERR?");
    const QString all = log->linesAsText();
    log->cmdCopy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), all);
    const QAbstractItemModel* lines = log->lstTraffic->model();
    log->lstTraffic->selectionModel()->select(lines->index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    log->lstTraffic->selectionModel()->select(lines->index(1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    log->cmdCopy->click();
    EXPECT_EQ(QApplication::clipboard()->text(), all.section('\n', 1, 1) + '\n' + all.section('\n', 3, 3) + '\n');

    const QTemporaryDir folder;
    const QString path = folder.filePath("traffic.txt");
    const auto watch = whenModalOpens<QFileDialog>([&](QFileDialog* dialog) {
        dialog->selectFile(path);
        static_cast<QDialog*>(dialog)->accept(); // protected in QFileDialog
    });
    log->cmdSave->click();
    QFile saved(path);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QStringList savedLines = QString::fromUtf8(saved.readAll()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(savedLines.size(), all.count('\n') + 4);
    EXPECT_EQ(savedLines.mid(0, 3), QStringList({ "# R6140K traffic log", QString("# program = r6140k-panel ") + app::VersionText,
        QString("# *IDN? = R6140K Simulator,R6140K,SIM00001,") + app::VersionText }));
    EXPECT_TRUE(QDateTime::fromString(savedLines[3].section(" = ", 1), Qt::ISODate).isValid()) << savedLines[3].toStdString();
    for (qsizetype n = 4; n < savedLines.size(); ++n) // dated, and otherwise as copied
        EXPECT_EQ(QDateTime::fromString(savedLines[n].section('\t', 0, 0), Qt::ISODateWithMs).toLocalTime().toString("HH:mm:ss.zzz")
                + '\t' + savedLines[n].section('\t', 1), all.section('\n', n - 4, n - 4));
}

TEST_F(TrafficLog, UpAndDownRecallTheLinesSentAndTheOneBeingTyped)
{
    enter("*IDN?");
    enter(":SYST:ERR?");
    enter(":SYST:ERR?");
    log->txtCommand->setText(":MOD:IA");
    QStringList recalled;
    for (const Qt::Key key : { Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down }) {
        QTest::keyClick(log->txtCommand, key);
        recalled << log->txtCommand->text();
    }
    EXPECT_EQ(recalled, QStringList({ ":SYST:ERR?", "*IDN?", "*IDN?", ":SYST:ERR?", ":MOD:IA" }));
}

// The list narrowed by origin and by a text; Copy then takes the lines shown.
TEST_F(TrafficLog, NarrowsTheListByOriginAndTextAndCopiesWhatItShows)
{
    enter("*IDN?");
    QTest::keyClick(panel.main.scrIAtt, Qt::Key_Up);
    panel.session.enqueue([this] { panel.session.query(":MOD:IATT?"); }, "10.0.0.7:4000");
    const auto shown = [this] {
        log->cmdCopy->click();
        QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
        for (QString& line : lines)
            line = line.section('\t', 1);
        return lines;
    };
    log->cboOrigin->setCurrentText("command line");
    EXPECT_EQ(shown(), QStringList({ "sent\tcommand line\t*IDN?",
        QString("received\tcommand line\tR6140K Simulator,R6140K,SIM00001,") + app::VersionText }));
    log->cboOrigin->setCurrentText("10.0.0.7:4000");
    EXPECT_EQ(shown(), QStringList({ "sent\t10.0.0.7:4000\t:MOD:IATT?", "received\t10.0.0.7:4000\t1" }));
    log->cboOrigin->setCurrentText(frmTrafficLog::AllOrigins);
    log->txtFind->setText("iatt");
    EXPECT_EQ(shown(), QStringList({ "sent\tpanel\t:MOD:IATT?", "sent\tpanel\t:MOD:IATT 1", "sent\t10.0.0.7:4000\t:MOD:IATT?" }));
    log->txtFind->clear();
    EXPECT_EQ(shown().size(), log->lstTraffic->model()->rowCount());
}

// The link going down, coming back and being reopened are lines of their own.
TEST_F(ScriptedPanel, TheLogNotesTheLinkGoingDownAndUpAndAReconnect)
{
    panel.startUp();
    bridge.failing = { { "FT_Write", usblink::FT_DEVICE_NOT_FOUND } };
    panel.main.cmdBB_ZIN->click(); // changes the button's state, never the instrument's
    bridge.failing.clear();
    panel.main.linkMonitor->attempt();
    const QStringList notes = panel.main.findChild<frmTrafficLog*>()->linesAsText().split('\n').filter("\tnote\t")
        .replaceInStrings(QRegularExpression("^[^\t]*\tnote\tpanel\t"), "");
    EXPECT_EQ(notes, QStringList({ "link down: The device stopped answering: it was unplugged, or its line failed.",
        "reconnect: R6140K A1 opened again", "link up", "undo history cleared: :BAS:ZINP? reads 7, not 0" }));
}

// Where the log first opens on common screens with the main window centred,
// under a window manager's frames: beside it, narrowed where need be, never
// over its controls while the screen has the room.
TEST(TrafficLogWindow, FirstOpensWhereItCoversNoneOfTheMainWindow)
{
    const QSize mainFrame(668, 612), logFrame(722, 426);
    for (const QSize screenSize : { QSize(1920, 1080), QSize(1600, 1200), QSize(2560, 1440), QSize(1280, 1024) }) {
        SCOPED_TRACE(screenSize.width());
        const QRect screen(QPoint(0, 0), screenSize);
        const QRect main(screen.center() - QPoint(mainFrame.width() / 2, mainFrame.height() / 2), mainFrame);
        const QRect place = frmTrafficLog::firstPlace(main, logFrame, screen);
        const int room = std::max(main.left(), screen.right() - main.right());
        const bool roomBeside = room >= frmTrafficLog::NarrowestWidth;
        EXPECT_EQ(place.intersects(main), !roomBeside);
        EXPECT_TRUE(screen.contains(place));
        EXPECT_EQ(place.top(), main.top());
        EXPECT_EQ(place.width(), roomBeside ? std::min(logFrame.width(), room) : logFrame.width());
    }
}

// Typed or pasted, a message the instrument could not take as it stands is
// refused in place with the reason; nothing is sent, nothing listed.
class UnsendableOnCommandLine : public TrafficLog, public testing::WithParamInterface<Unsendable> { };

TEST_P(UnsendableOnCommandLine, IsRefusedInPlaceWithTheReason)
{
    const std::size_t linesBefore = panel.line.lines.size();
    const QStringList listedBefore = linesWithoutTime();
    log->txtCommand->setText(QString::fromUtf8(GetParam().bytes));
    QTest::keyClick(log->txtCommand, Qt::Key_Return);
    EXPECT_THAT(log->txtCommand->toolTip().toStdString(), testing::HasSubstr(GetParam().reason));
    EXPECT_EQ(panel.line.lines.size(), linesBefore);
    EXPECT_EQ(linesWithoutTime(), listedBefore);
}

INSTANTIATE_TEST_SUITE_P(Messages, UnsendableOnCommandLine, testing::ValuesIn(UnsendableMessages),
    [](const testing::TestParamInfo<Unsendable>& info) { return std::string(info.param.name); });

// Shown in two batches: lines beyond the capacity are dropped oldest first,
// from those shown and from those still waiting to be shown.
TEST(TrafficLogModel, KeepsTheNewestLinesUpToItsCapacity)
{
    panel::TrafficLogModel model(3);
    const auto append = [&model](int n) {
        const QDateTime time(QDate(2026, 12, 7), QTime(1, 2, 3, n));
        model.append({ time.toMSecsSinceEpoch(), session::InstrumentSession::Direction::Received, "panel",
            std::to_string(n) });
    };
    for (int n = 1; n <= 4; ++n)
        append(n);
    model.showPending();
    append(5);
    append(6);
    EXPECT_EQ(model.rowCount(), 3);
    model.showPending();
    EXPECT_EQ(model.text(),
        "01:02:03.004\treceived\tpanel\t4\n01:02:03.005\treceived\tpanel\t5\n01:02:03.006\treceived\tpanel\t6\n");
}

// A setting line's tool tip names what it sets under each name, steps and
// decibels apart; a query, a reply or a value out of range sets nothing.
TEST(TrafficLogModel, ASettingLinesToolTipNamesEachUnit)
{
    using Direction = session::InstrumentSession::Direction;
    const std::tuple<Direction, std::string, std::string> Rows[] = {
        { Direction::Sent, ":MOD:IATT 41", "MODulator:IATTenuator 41, MODulator:IATTenuator_dB 5.125" },
        { Direction::Sent, ":bas:ioff -7;:MOD:QATT 1;:MOD:QATT?",
            "BASeband:IOFFset -7\nMODulator:QATTenuator 1, MODulator:QATTenuator_dB 0.125" },
        { Direction::Sent, ":MOD:IATT?", "" },
        { Direction::Sent, ":MOD:IATT 999", "" },
        { Direction::Received, "41", "" },
    };
    panel::TrafficLogModel model;
    for (const auto& [direction, line, tip] : Rows)
        model.append({ 0, direction, "panel", line });
    model.showPending();
    for (int row = 0; row < model.rowCount(); ++row)
        EXPECT_EQ(model.data(model.index(row, panel::TrafficLogModel::LineColumn), Qt::ToolTipRole).toString().toStdString(),
            std::get<2>(Rows[row]));
}

// A client's CR, TAB or ESC neither forges a line in the saved text nor
// reaches the terminal that shows it.
TEST(TrafficLogModel, WritesEveryCharacterOutsidePrintableAsciiEscaped)
{
    panel::TrafficLogModel model;
    model.append({ 0, session::InstrumentSession::Direction::Refused, "10.0.0.7:4000\x1b",
        "*RST\r\n12:00:00.000\tsent\tpanel\t*RST\x1b[31m\\\xe9\x7f" });
    model.showPending();
    EXPECT_THAT(model.text().toStdString(),
        testing::EndsWith("\trefused\t10.0.0.7:4000\\x1b\t*RST\\r\\n12:00:00.000\\tsent\\tpanel\\t*RST\\x1b[31m\\\\\\xe9\\x7f\n"));
}

} // namespace
