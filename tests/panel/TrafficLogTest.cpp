// The traffic log window, opened by Ctrl+L on the panel over the simulator,
// and the model that keeps its lines.
#include <QClipboard>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
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
#include "PanelHarness.h"
#include "UnsendableMessages.h"

using namespace test_support;
using testing::ElementsAre;

namespace {

// The panel started up on the simulator, its traffic log not yet opened.
struct UnopenedTrafficLog : testing::Test {
    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };
    frmTrafficLog* log = nullptr;
    qsizetype listedAtOpening = 0;

    void SetUp() override { panel.startUp(); }

    void open()
    {
        QApplication::setActiveWindow(&panel.main);
        QTest::keyClick(&panel.main, Qt::Key_L, Qt::ControlModifier);
        log = panel.main.findChild<frmTrafficLog*>();
        ASSERT_TRUE(log && log->isVisible());
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

struct TrafficLog : UnopenedTrafficLog {
    void SetUp() override
    {
        UnopenedTrafficLog::SetUp();
        open();
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
// never open then, and what came while it was closed.
TEST_F(UnopenedTrafficLog, RecordsFromStartUpAndWhileClosed)
{
    open();
    QStringList sentAtStartUp;
    for (const std::string& line : StartUpLines)
        sentAtStartUp << "sent\tpanel\t" + QString::fromStdString(line);
    EXPECT_EQ(linesWithoutTime(0).filter(QRegularExpression("^sent\t")), sentAtStartUp);

    QTest::keyClick(panel.main.scrIAtt, Qt::Key_Up);
    log->close();
    QTest::keyClick(panel.main.scrIAtt, Qt::Key_Up);
    EXPECT_EQ(panel.main.showTrafficLog(), log);
    QTest::keyClick(panel.main.scrIAtt, Qt::Key_Up);
    EXPECT_THAT(linesWithoutTime(),
        ElementsAre("sent\tpanel\t:MOD:IATT 1", "sent\tpanel\t:MOD:IATT 2", "sent\tpanel\t:MOD:IATT 3"));
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
    const auto newestShown = [&] {
        return list->viewport()->rect().contains(list->visualRect(lines->index(lines->rowCount() - 1, 0)));
    };
    exchangeBatch(panel::TrafficLogModel::DefaultCapacity);
    for (int batch = 0; batch < 3; ++batch) {
        exchangeBatch(100);
        EXPECT_TRUE(newestShown()) << "batch " << batch;
    }
    EXPECT_EQ(lines->rowCount(), panel::TrafficLogModel::DefaultCapacity);
    list->scrollTo(lines->index(5000, 0), QAbstractItemView::PositionAtTop);
    exchangeBatch(100);
    EXPECT_EQ(list->indexAt({}).row(), 4900);
    EXPECT_FALSE(newestShown());
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
    EXPECT_EQ(saved.readAll(), all.toUtf8());
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
            QString::number(n) });
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

// A client's CR, TAB or ESC neither forges a line in the saved text nor
// reaches the terminal that shows it.
TEST(TrafficLogModel, WritesEveryCharacterOutsidePrintableAsciiEscaped)
{
    panel::TrafficLogModel model;
    model.append({ 0, session::InstrumentSession::Direction::Refused, "10.0.0.7:4000\x1b",
        QString::fromLatin1("*RST\r\n12:00:00.000\tsent\tpanel\t*RST\x1b[31m\\\xe9") });
    model.showPending();
    EXPECT_THAT(model.text().toStdString(),
        testing::EndsWith("\trefused\t10.0.0.7:4000\\x1b\t*RST\\r\\n12:00:00.000\\tsent\\tpanel\\t*RST\\x1b[31m\\\\\\xe9\n"));
}

} // namespace
