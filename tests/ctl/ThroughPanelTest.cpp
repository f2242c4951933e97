// r6140k-ctl and the Python driver beside a running panel that serves its
// instrument on the SCPI socket: the operator's controls follow, and the
// operator's own presses keep their order.

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <numeric>

#include "CtlRun.h"
#include "PanelHarness.h"
#include "PanelRegistry.h"
#include "ServedPanel.h"
#include "SerialBridge.h"
#include "SimProcess.h"
#include "SimulatedBridge.h"

using namespace test_support;
using testing::HasSubstr;

namespace {

// The values of the given setting's messages among the lines, in order.
std::vector<int> valuesSent(const std::vector<std::string>& lines, const std::string& prefix)
{
    std::vector<int> values;
    for (const std::string& line : lines)
        if (line.starts_with(prefix))
            values.push_back(std::stoi(line.substr(prefix.size())));
    return values;
}

std::vector<int> oneTo(int last)
{
    std::vector<int> values(static_cast<std::size_t>(last));
    std::iota(values.begin(), values.end(), 1);
    return values;
}

// A served panel that has published itself, in a runtime folder of the
// test's own.
struct PublishedPanel {
    PublishedPanel(usblink::BridgeLibrary& bridge, const std::string& entry)
        : served(bridge, entry)
    {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        EXPECT_TRUE(app::publishPanel({ .pid = 0, .host = "127.0.0.1", .port = served.server.port(),
            .line = app::lineOfListed(bridge, served.panel.main.Selection), .entry = entry }));
    }
    ~PublishedPanel() { app::withdrawPanel(); }

    QTemporaryDir runtime;
    ServedPanel served;
};

struct PanelHoldingTheLine : testing::Test {
    SimProcess simulator;
    usblink::SerialBridge serial { { simulator.path() } };
    PublishedPanel published { serial, "R6140K " + simulator.path() };
    ServedPanel& served = published.served;
};

TEST_F(PanelHoldingTheLine, CtlGoesThroughThePanelThatHoldsTheLineAndPressesKeepTheirOrder)
{
    frmMain& m = served.panel.main;
    const std::vector<std::string>& lines = served.panel.line.lines;
    std::size_t linesAtPress = lines.size();
    int presses = 0;
    QTimer operatorHand; // a press whenever another line has gone out
    QObject::connect(&operatorHand, &QTimer::timeout, [&] {
        if (lines.size() > linesAtPress && m.sending() && presses < 20) {
            linesAtPress = lines.size();
            QTest::keyClick(m.scrBB_I_Off, Qt::Key_Up);
            ++presses;
        }
    });
    operatorHand.start(0);
    QStringList messages;
    for (int value = 1; value <= 30; ++value)
        messages << QString(":MOD:IATT %1").arg(value);
    const ProgramRun run = runCtl(QStringList { "--port", QString::fromStdString(simulator.path()), "send" } + messages);
    ASSERT_TRUE(pumpUntil([&] { return valuesSent(lines, ":MOD:IATT ").size() == 30 && !m.follower().pending(); }));
    operatorHand.stop();

    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.err, HasSubstr("R6140K " + simulator.path() + " is held by r6140k-panel (pid "
        + std::to_string(QCoreApplication::applicationPid()) + "): going through its SCPI socket at 127.0.0.1:"
        + std::to_string(served.server.port())));
    EXPECT_EQ(valuesSent(lines, ":MOD:IATT "), oneTo(30)) << "every message, in order";
    EXPECT_EQ(m.scrIAtt->setting(), 30) << "the panel's control follows";
    EXPECT_GT(presses, 5);
    EXPECT_EQ(valuesSent(lines, ":BAS:IOFF "), oneTo(presses)) << "every press, in order";
    EXPECT_EQ(m.scrBB_I_Off->setting(), presses);
}

TEST_F(PanelHoldingTheLine, CtlNamesThePanelItselfWithItsAddress)
{
    served.panel.session.send(":MOD:QINP -5");
    const QString address = QString("127.0.0.1:%1").arg(served.server.port());
    const ProgramRun run = runCtl({ "--panel", address, "read", "--json" });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("\"MODulator:QINPut\": -5, "));
    EXPECT_THAT(runCtl({ "--panel", address, "query", ":OUTPut?" }).err, HasSubstr(":OUTPut? = READ TIMEOUT"));
}

// Records ctl must not follow, each naming the simulator's line and a port
// where nothing listens: whichever it is, ctl opens the line itself.
struct PlantedRecord {
    const char* name;
    QFile::Permissions folder;
    QFile::Permissions file;
    enum Process { Gone, Reused, Live } process;
    const char* says; // on standard error
    bool removed;
};

constexpr QFile::Permissions Private = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser;
constexpr QFile::Permissions PrivateFolder = Private | QFile::ExeOwner | QFile::ExeUser;
constexpr QFile::Permissions Shared = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::WriteGroup
    | QFile::ReadOther | QFile::WriteOther;

const PlantedRecord PlantedRecords[] = {
    { "KilledPanel", PrivateFolder, Private, PlantedRecord::Gone, "", true },
    { "ReusedPid", PrivateFolder, Private, PlantedRecord::Reused, "", false },
    { "SharedFolder", PrivateFolder | Shared | QFile::ExeOther, Private, PlantedRecord::Live, ": other users may use it", false },
    { "SharedFile", PrivateFolder, Shared, PlantedRecord::Live, ": other users may use it", false },
    { "SocketRefuses", PrivateFolder, Private, PlantedRecord::Live, "cannot reach the panel at 127.0.0.1:1: ", false },
};

void PrintTo(const PlantedRecord& planted, std::ostream* out)
{
    *out << planted.name;
}

class PanelRecord : public testing::TestWithParam<PlantedRecord> { };

TEST_P(PanelRecord, IsNotFollowedAndCtlOpensTheLine)
{
    const PlantedRecord& planted = GetParam();
    SimProcess simulator;
    QTemporaryDir runtime;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QProcess gone;
    gone.start("true");
    const qint64 pid = planted.process == PlantedRecord::Gone ? gone.processId() : QCoreApplication::applicationPid();
    ASSERT_TRUE(gone.waitForFinished());
    const unsigned long long started = app::startOfOwnProcess(pid) + (planted.process == PlantedRecord::Reused ? 1 : 0);
    const QString folder = runtime.filePath("r6140k-panel");
    const QString path = folder + '/' + QString::number(pid);
    QDir().mkpath(folder);
    QFile record(path);
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write("host 127.0.0.1\nport 1\nline " + QByteArray::fromStdString(simulator.path()) + "\nentry R6140K\nstarted "
        + QByteArray::number(started) + "\n");
    record.close();
    ASSERT_TRUE(QFile::setPermissions(path, planted.file) && QFile::setPermissions(folder, planted.folder));

    const ProgramRun run = runCtl({ "--port", QString::fromStdString(simulator.path()), "query", "*IDN?" });
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, testing::StartsWith("R6140K Simulator,"));
    EXPECT_THAT(run.err, HasSubstr(planted.says));
    EXPECT_EQ(QFile::exists(path), !planted.removed);
}

INSTANTIATE_TEST_SUITE_P(Planted, PanelRecord, testing::ValuesIn(PlantedRecords),
    [](const testing::TestParamInfo<PlantedRecord>& info) { return std::string(info.param.name); });

// What the panel publishes is closed to other users.
TEST_F(PanelHoldingTheLine, ThePublishedRecordAndItsFolderAreTheUsersAlone)
{
    const QString folder = published.runtime.filePath("r6140k-panel");
    EXPECT_EQ(QFileInfo(folder).permissions() & ~PrivateFolder, QFile::Permissions());
    EXPECT_EQ(QFileInfo(folder + '/' + QString::number(QCoreApplication::applicationPid())).permissions() & ~Private,
        QFile::Permissions());
}

// Sets each setting to the ends of its range and reads every setting back,
// then has each end plus one step refused before anything is sent.
// Arguments: the resource, then per setting "MNEMONIC LEAST GREATEST STEP"
// in the unit the driver takes.
const char* DriverCheck = R"(
import sys
from r6140k import R6140K, property_name
instrument = R6140K(sys.argv[1])
print(instrument.id)
table = [row.split() for row in sys.argv[2:]]
for end in (2, 1):
    for row in table:
        setattr(instrument, property_name(row[0]), float(row[end]))
    read = instrument.settings()
    wrong = [row[0] for row in table if read[row[0]] != float(row[end])]
    print('read back', 'all' if not wrong else wrong)
for row in table:
    try:
        setattr(instrument, property_name(row[0]), float(row[2]) + float(row[3]))
        print(row[0], 'took a value beyond its range')
    except ValueError:
        pass
print(instrument.ask(':SYST:ERR?').strip())
)";

std::string driverOutput(const std::string& resource)
{
    QStringList arguments = { "-c", DriverCheck, QString::fromStdString(resource) };
    for (const instrument::Setting& setting : instrument::Settings) {
        const instrument::SettingRange range = instrument::rangeOf(setting.kind);
        const double unit = setting.kind == instrument::SettingKind::Attenuator ? instrument::DecibelsPerStep : 1.0;
        arguments << QString("%1 %2 %3 %4").arg(setting.mnemonic).arg(range.min * unit).arg(range.max * unit).arg(unit);
    }
    QProcessEnvironment path;
    path.insert("PYTHONPATH", R6140K_PYTHON_DRIVER_DIR);
    const ProgramRun run = runPumped("/usr/bin/python3", arguments, path);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.out;
}

const std::string DriverChecked = "read back all\nread back all\n0,\"No error\"\n";

TEST(PythonDriver, SetsAndReadsEverySettingOnTheSerialLine)
{
    SimProcess simulator;
    EXPECT_THAT(driverOutput("ASRL" + simulator.path() + "::INSTR"), testing::EndsWith(DriverChecked));
}

TEST(PythonDriver, SetsAndReadsEverySettingThroughThePanelAndThePanelFollows)
{
    sim::SimulatedBridge simulator;
    PublishedPanel published(simulator, std::string(sim::SimulatedBridge::Description) + " " + sim::SimulatedBridge::SerialNumber);
    const ServedPanel& served = published.served;
    const std::string output = driverOutput("TCPIP0::127.0.0.1::" + std::to_string(served.server.port()) + "::SOCKET");
    EXPECT_THAT(output, testing::StartsWith("R6140K Simulator,R6140K,SIM00001,"));
    EXPECT_THAT(output, testing::EndsWith(DriverChecked));
    ASSERT_TRUE(pumpUntil([&] { return !served.panel.main.follower().pending(); }));
    EXPECT_EQ(served.panel.main.scrIAtt->setting(), 0) << "the panel shows the last values, the ranges' lower ends";
    EXPECT_EQ(served.panel.main.scrBB_I_Off->setting(), -32768);
}

} // namespace
