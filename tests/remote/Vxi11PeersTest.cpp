// The panel as a LAN instrument with Debian's own peers: rpcbind, pyvisa-py,
// lxi-tools, avahi-daemon and avahi-browse, each started by the test inside
// the test program's own network namespace (see PrivateNetwork.h); the
// panel in-process on r6140k-sim over its pseudo-terminal, or the real
// r6140k-panel where its start and end are at stake.

#include <QDir>
#include <QFile>
#include <QHostInfo>
#include <QLabel>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <string_view>

#include "Announcement.h"
#include "PortMapper.h"
#include "RemoteServices.h"
#include "ServiceBrowser.h"
#include "SerialBridge.h"
#include "StatusLine.h"
#include "Version.h"
#include "ClientRun.h"
#include "DaemonProcess.h"
#include "EventLoop.h"
#include "OperatorHand.h"
#include "PanelHarness.h"
#include "PortMapperDaemon.h"
#include "PrivateNetwork.h"
#include "SimProcess.h"
#include "StreamingClients.h"
#include "WidgetTestRun.h"

using namespace std::chrono_literals;
using namespace test_support;
using testing::HasSubstr;

namespace {

const std::string Identity = std::string("R6140K Simulator,R6140K,SIM00001,") + app::VersionText;
const QString Python = "/usr/bin/python3";

// A D-Bus system bus of the test's own, at the place avahi looks for it
// (the namespace's own /run), and avahi-daemon on the test's interface.
struct AvahiDaemons {
    QTemporaryDir configs;
    DaemonProcess bus { "dbus-daemon", { "--nofork", "--config-file", write("bus.conf", BusConfig) },
        [] { return QFile::exists("/run/dbus/system_bus_socket"); } };
    DaemonProcess avahi { "avahi-daemon", { "--no-drop-root", "--no-chroot", "-f", write("avahi.conf", AvahiConfig) },
        [] { return QFile::exists("/run/avahi-daemon/socket"); } };

    static constexpr const char* BusConfig = R"(<busconfig><type>system</type>
<listen>unix:path=/run/dbus/system_bus_socket</listen><auth>EXTERNAL</auth>
<policy context="default"><allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/></policy>
</busconfig>)";
    static constexpr const char* AvahiConfig = "[server]\nuse-ipv4=yes\nuse-ipv6=no\nallow-interfaces=v0\n"
                                               "[wide-area]\nenable-wide-area=no\n[publish]\npublish-workstation=no\n";

    QString write(const QString& name, const char* text)
    {
        QDir().mkpath("/run/dbus");
        QFile file(configs.filePath(name));
        file.open(QIODevice::WriteOnly);
        file.write(text);
        return file.fileName();
    }
};

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::Any, 0);
    return probe.serverPort();
}

app::Options servingOn(const std::string& host, std::optional<quint16> socketPort = std::nullopt,
    std::optional<quint16> webPort = std::nullopt)
{
    app::Options options;
    options.vxi11Host = host;
    if (socketPort)
        options.listen = app::Options::ListenAddress { host, *socketPort };
    if (webPort)
        options.web = app::Options::WebAddress { host, *webPort };
    return options;
}

// The panel on r6140k-sim, serving what the options ask, as main() wires it.
struct PanelOnLan {
    explicit PanelOnLan(const app::Options& options)
        : remote(panel.session, options)
    {
        QObject::connect(&panel.main, &frmMain::identified, &remote, &app::RemoteServices::announce);
        QObject::connect(&remote.status(), &remote::RemoteStatus::changed, &panel.main, &frmMain::showRemoteStatus);
        QString why;
        EXPECT_TRUE(remote.bind(&why)) << why.toStdString();
        EXPECT_TRUE(panel.startUpOn("R6140K " + simulator.path()));
        remote.startAccepting();
        panel.session.addLineObserver([this](auto, const std::string&, const std::string& origin) { origins.insert(origin.substr(0, origin.rfind(':'))); });
    }
    std::string status() const { return remote.status().text().toStdString(); }

    SimProcess simulator;
    usblink::SerialBridge serial { { simulator.path() } };
    PanelHarness panel { serial };
    app::RemoteServices remote;
    std::set<std::string> origins;
};

struct LoopbackPanel : testing::Test {
    PortMapperDaemon portMapper;
    PanelOnLan served { servingOn("127.0.0.1") };
};

// The default settings of a VISA resource: no termination is set.
const char* PyvisaSession = R"(
import sys, pyvisa
instrument = pyvisa.ResourceManager('@py').open_resource(sys.argv[1])
print(repr(instrument.query('*IDN?')))
instrument.write(':MOD:IATT 41')
print(repr(instrument.query(':mod:iatt?')))
instrument.write(':MOD:IATT?')
print(instrument.read_stb())
instrument.clear()
instrument.timeout = 200
try:
    instrument.read()
except pyvisa.VisaIOError as error:
    print(error.error_code == pyvisa.constants.StatusCode.error_timeout)
instrument.close()
)";

class PyvisaResource : public LoopbackPanel, public testing::WithParamInterface<const char*> { };

TEST_P(PyvisaResource, QueriesSetsAndClearsWithoutTerminationSettings)
{
    EXPECT_EQ(runClient(Python, { "-c", PyvisaSession, GetParam() }),
        "'" + Identity + "\\n'\n'41\\n'\n16\nTrue");
    EXPECT_EQ(served.panel.main.scrIAtt->setting(), 41) << "the panel's control follows the client";
    EXPECT_THAT(served.origins, testing::Contains("vxi11 127.0.0.1"));
    EXPECT_TRUE(served.panel.line.violations.empty());
}

INSTANTIATE_TEST_SUITE_P(Debian, PyvisaResource, testing::Values("TCPIP::127.0.0.1::INSTR", "TCPIP0::127.0.0.1::inst0::INSTR"),
    [](const auto& info) { return info.index == 0 ? std::string("DefaultDevice") : std::string("Inst0"); });

// One session holds the lock; the other's write and lock wait their (short)
// lock time-out, then fail; once the lock is released the write goes through.
const char* PyvisaLocking = R"(
import sys, time, pyvisa
manager = pyvisa.ResourceManager('@py')
holder, other = manager.open_resource(sys.argv[1]), manager.open_resource(sys.argv[1])
manager.visalib.sessions[other.session].lock_timeout = 300
holder.lock_excl()
holder.write(':MOD:QATT 5')
for attempt in (lambda: other.write(':MOD:QATT 9'), other.lock_excl):
    start = time.monotonic()
    try:
        attempt()
    except pyvisa.VisaIOError as error:
        print(error.error_code.name, time.monotonic() - start >= 0.3)
print(holder.query(':MOD:QATT?').strip())
holder.unlock()
other.write(':MOD:QATT 9')
print(holder.query(':MOD:QATT?').strip())
)";

TEST_F(LoopbackPanel, ALinkHoldsTheLockWhileAnotherWaitsAndFails)
{
    EXPECT_EQ(runClient(Python, { "-c", PyvisaLocking, "TCPIP::127.0.0.1::INSTR" }),
        "error_io True\nerror_resource_locked True\n5\n9");
}

TEST_F(LoopbackPanel, LxiAsksOverVxi11AndDiscoversThePanel)
{
    EXPECT_EQ(runClient("lxi", { "scpi", "-a", "127.0.0.1", "*IDN?" }), Identity);
    EXPECT_THAT(runClient("lxi", { "discover", "-t", "1" }), HasSubstr("Found \"" + Identity + "\" on address 127.0.0.1"));
}

TEST(Vxi11BesideTheSocket, OperatorAndStreamingClientsShareTheInstrument)
{
    PortMapperDaemon portMapper;
    const quint16 socketPort = freePort();
    PanelOnLan served(servingOn("127.0.0.1", socketPort));
    OperatorHand operatorHand(served.panel);
    const QString identity = QString::fromStdString(Identity);
    EXPECT_EQ(runClients({ { Python, "-c", Vxi11StreamingClient, identity, ":BAS:IOFF" },
                  { Python, "-c", SocketStreamingClient, QString::number(socketPort), identity, ":MOD:QINP" } }),
        (std::vector<std::string> { "all 1000 in order", "all 1000 in order" }));
    operatorHand.stop();
    EXPECT_TRUE(served.panel.line.violations.empty()) << served.panel.line.violations.front();
    EXPECT_GT(operatorHand.presses(), 50);
    operatorHand.expectEveryPressSentInTurn();
}

// While the holder streams, lxi asks over the socket, one connection after
// another, counting the connections it starts and those answered in files,
// until the holder is done. Arguments: the socket's port, the folder.
const char* LxiAskingInALoop = R"(n=0; while [ ! -e "$2/done" ]; do echo $n > "$2/started"
lxi scpi -a 127.0.0.1 -p "$1" -r ':MOD:QINP?' >/dev/null || exit 1; n=$((n+1)); echo $n > "$2/answered"; done)";
// Once lxi has been answered, writes and queries under the exclusive lock,
// each reply checked, until lxi has started another connection and 100 more
// have gone, or 500 in all (the connection lxi had open waits for the lock);
// after the unlock, ends once lxi has been answered twice more.
// Argument: the folder.
const char* PyvisaHolding = R"(
import sys, pyvisa
def count(name):
    try:
        return int(open(sys.argv[1] + '/' + name).read())
    except (OSError, ValueError):
        return -1
holder = pyvisa.ResourceManager('@py').open_resource('TCPIP::127.0.0.1::INSTR', timeout=10000)
while count('answered') < 1:
    holder.query(':MOD:QATT?')
holder.lock_excl()
started, wrong, i, after = count('started'), [], 0, 0
while after < 100 and i < 500:
    holder.write(':MOD:IOFF %d' % i)
    if holder.query(':MOD:IOFF?') != '%d\n' % i:
        wrong.append(i)
    i, after = i + 1, after + (count('started') > started)
holder.unlock()
answered = count('answered')
while count('answered') < answered + 2:
    holder.query(':MOD:QATT?')
open(sys.argv[1] + '/done', 'w').close()
print('locked replies', 'all right' if not wrong else wrong)
)";

TEST(Vxi11BesideTheSocket, WhileALinkHoldsTheLockNoSocketLineRunsBetweenItsLines)
{
    PortMapperDaemon portMapper;
    const quint16 socketPort = freePort();
    PanelOnLan served(servingOn("127.0.0.1", socketPort));
    std::vector<std::pair<std::string, std::string>> sent; // origin, line
    served.panel.session.addLineObserver([&](auto, const std::string& line, const std::string& origin) {
        sent.emplace_back(origin.substr(0, origin.find(' ')), line);
    });
    bool statusNamedTheHolder = false;
    QObject::connect(&served.remote.status(), &remote::RemoteStatus::changed, [&](const QString& text) {
        statusNamedTheHolder |= text.contains("VXI-11 inst0 on 127.0.0.1, 1 link, locked by vxi11 127.0.0.1;");
    });
    OperatorHand operatorHand(served.panel);
    QTemporaryDir marks;
    EXPECT_EQ(runClients({ { "sh", "-c", LxiAskingInALoop, "loop", QString::number(socketPort), marks.path() },
                  { Python, "-c", PyvisaHolding, marks.path() } }),
        (std::vector<std::string> { "", "locked replies all right" }));
    operatorHand.stop();
    const auto isHolders = [](const auto& line) { return line.first == "vxi11" && line.second.starts_with(":MOD:IOFF"); };
    const auto first = std::ranges::find_if(sent, isHolders);
    const auto last = std::ranges::find_if(sent.rbegin(), sent.rend(), isHolders).base();
    ASSERT_GE(std::count_if(first, last, isHolders), 200);
    const auto isSocketLine = [](const auto& line) { return line.first != "vxi11" && line.first != "panel"; };
    EXPECT_EQ(std::count_if(first, last, isSocketLine), 0) << "a socket line ran between the holder's";
    EXPECT_GT(std::count_if(sent.begin(), first, isSocketLine), 0) << "lxi asked nothing before the lock";
    EXPECT_GT(std::count_if(last, sent.end(), isSocketLine), 0) << "lxi asked nothing after the lock";
    EXPECT_TRUE(statusNamedTheHolder);
    EXPECT_THAT(served.status(), testing::Not(HasSubstr("locked")));
    operatorHand.expectEveryPressSentInTurn();
}

// mDNS on the test's own interface: avahi-browse and lxi see the panel's
// services under its identification, until the panel withdraws them.
TEST(Vxi11OnTheLan, AnnouncedByMdnsWithTheIdentification)
{
    PortMapperDaemon portMapper;
    AvahiDaemons avahi;
    ASSERT_TRUE(avahi.avahi.ready());
    const quint16 socketPort = freePort();
    const quint16 webPort = freePort();
    auto served = std::make_unique<PanelOnLan>(servingOn(LanAddress, socketPort, webPort));
    std::string browsed;
    ASSERT_TRUE(pumpUntil([&] { return !(browsed = runClient("avahi-browse", { "-rpt", "_vxi-11._tcp" })).empty(); }, 10s))
        << served->status();
    EXPECT_THAT(browsed, HasSubstr(std::string(";") + LanAddress + ";111;"));
    EXPECT_THAT(browsed, HasSubstr("\"Manufacturer=R6140K Simulator\""));
    EXPECT_THAT(browsed, HasSubstr("\"SerialNumber=SIM00001\""));
    const std::string listed = runClient("lxi", { "discover", "--mdns", "-t", "1" });
    EXPECT_THAT(listed, HasSubstr("Found \"" + Identity + "\" on address " + LanAddress));
    EXPECT_THAT(listed, HasSubstr("vxi-11 service on port 111"));
    EXPECT_THAT(listed, HasSubstr("scpi-raw service on port " + std::to_string(socketPort)));
    EXPECT_THAT(listed, HasSubstr("lxi service on port " + std::to_string(webPort)));
    for (const char* type : { "_lxi._tcp", "_http._tcp" }) {
        ASSERT_TRUE(pumpUntil([&] { return !(browsed = runClient("avahi-browse", { "-rpt", type })).empty(); }, 10s)) << type;
        EXPECT_THAT(browsed, HasSubstr(std::string(";") + LanAddress + ";" + std::to_string(webPort) + ";")) << type;
        EXPECT_THAT(browsed, HasSubstr("\"path=/\"")) << type;
    }
    const QString web = QString("http://%1:%2").arg(LanAddress).arg(webPort);
    EXPECT_THAT(runClient("curl", { "-sf", web + "/lxi/identification" }), HasSubstr("<SerialNumber>SIM00001</SerialNumber>"));
    EXPECT_THAT(runClient("curl", { "-sf", web + "/" }),
        HasSubstr("<code>TCPIP::" + std::string(LanAddress) + "::" + std::to_string(socketPort) + "::SOCKET</code>"));
    // The Calibrate window's list of analyzers sees both, as resource strings.
    remote::ServiceBrowser browser({ "_scpi-raw._tcp", "_vxi-11._tcp" });
    std::set<QString> found;
    QObject::connect(&browser, &remote::ServiceBrowser::found, [&found](const QString& resource) { found.insert(resource); });
    EXPECT_TRUE(pumpUntil([&] { return found.size() == 2; }, 10s));
    EXPECT_THAT(found, testing::UnorderedElementsAre(QString("TCPIP::%1::%2::SOCKET").arg(LanAddress).arg(socketPort),
                           QString("TCPIP::%1::INSTR").arg(LanAddress)));

    served.reset();
    EXPECT_TRUE(pumpUntil([] { return runClient("avahi-browse", { "-pt", "_vxi-11._tcp" }).empty(); }, 10s))
        << "the announcement outlived the panel";
}

// Two panels on two addresses of one interface: each service resolves to
// the address its own panel serves, not to whichever the host name has.
TEST(Vxi11OnTheLan, PanelsOnTwoAddressesOfOneInterfaceEachResolveToTheirOwn)
{
    PortMapperDaemon portMapper;
    AvahiDaemons avahi;
    ASSERT_TRUE(avahi.avahi.ready());
    const std::map<std::string, quint16> ports { { LanAddress, freePort() }, { SecondLanAddress, freePort() } };
    PanelOnLan first(servingOn(LanAddress, ports.at(LanAddress)));
    PanelOnLan second(servingOn(SecondLanAddress, ports.at(SecondLanAddress)));
    std::map<std::string, std::string> resolved; // address by port
    ASSERT_TRUE(pumpUntil([&] {
        const QStringList lines = QString::fromStdString(runClient("avahi-browse", { "-rpt", "_scpi-raw._tcp" })).split('\n');
        for (const QString& line : lines)
            if (const QStringList fields = line.split(';'); fields.size() > 8 && fields[0] == "=")
                resolved[fields[8].toStdString()] = fields[7].toStdString();
        return resolved.size() == 2;
    }, 10s)) << first.status() << second.status();
    for (const auto& [address, port] : ports)
        EXPECT_EQ(resolved[std::to_string(port)], address);
}

// What an instrument's identity may put into mDNS: printable names that fit
// a DNS label, TXT strings within 255 bytes, and a name even for no identity.
TEST(Vxi11OnTheLan, AnnouncesOnlyPrintableBoundedIdentityTexts)
{
    const std::string longField(300, 'M');
    const struct {
        std::string identity;
        QString name;
    } rows[] = {
        { "\x1b]0;title\x07" "ACME,\x1b[2JM1,SN1,1.0\x7f", "]0;titleACME,[2JM1,SN1,1.0" },
        { longField + ",M1,SN1,1.0", QString(63, 'M') },
        { ",,SN7,1.0", "R6140K SN7" },
        { "", "R6140K " + QHostInfo::localHostName() },
    };
    for (const auto& row : rows) {
        const remote::Announcement announcement = remote::Announcement::of(row.identity);
        EXPECT_EQ(announcement.name, row.name) << row.identity;
        for (const QString& txt : announcement.txt) {
            EXPECT_LE(txt.toUtf8().size(), 255) << txt.toStdString();
            EXPECT_FALSE(txt.contains(QRegularExpression("[\\x00-\\x1f\\x7f]"))) << txt.toStdString();
        }
    }
}

TEST(Vxi11OnTheLan, WithoutRpcbindOrAvahiThePanelSaysWhatIsMissingAndTheSocketWorks)
{
    const quint16 socketPort = freePort();
    const quint16 webPort = freePort();
    PanelOnLan served(servingOn(LanAddress, socketPort, webPort));
    ASSERT_TRUE(pumpUntil([&] { return served.status().find("avahi-daemon") != std::string::npos; }, 10s));
    EXPECT_EQ(served.status(),
        std::string("VXI-11 inst0 on ") + LanAddress + ", no link; SCPI socket on " + LanAddress + ":"
            + std::to_string(socketPort) + ", no client connected; Web pages on http://" + LanAddress + ":"
            + std::to_string(webPort) + "/\n"
            + "Reachable from other computers, without authentication. " + remote::PortMapperMissing
            + " No mDNS announcement: avahi-daemon is not running (sudo apt install avahi-daemon, then sudo "
              "systemctl start avahi-daemon).");
    const panel::StatusLine* shown = served.panel.main.lblRemoteStatus;
    EXPECT_EQ(shown->status().toStdString(), served.status());
    EXPECT_EQ(shown->toolTip().toStdString(), served.status()) << "the whole text, however much of it fits";
    EXPECT_LE(shown->heightForWidth(shown->width()), shown->height()) << "the status line is cut off";
    EXPECT_EQ(runClient("lxi", { "scpi", "-a", LanAddress, "-p", QString::number(socketPort), "-r", "*IDN?" }), Identity);
}

// The real program, which registers at start-up and stays in its device
// chooser here: what the port mapper lists of VXI-11, as rpcinfo shows it.
struct RealPanel {
    explicit RealPanel(QStringList arguments = { "--vxi11", "--port", "/dev/null" },
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment())
    {
        process.setProcessEnvironment(environment);
        process.start(R6140K_PANEL_PATH, arguments);
    }
    ~RealPanel()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QProcess process;
};

std::string registeredVxi11()
{
    const QString listing = QString::fromStdString(runClient("rpcinfo", { "-p" }));
    const auto found = QRegularExpression(R"(395183\s+1\s+tcp\s+(\d+))").match(listing);
    return found.hasMatch() ? found.captured(1).toStdString() : "";
}

TEST(RealPanel, WithdrawsItsRegistrationOnTermination)
{
    PortMapperDaemon portMapper;
    for (const int signal : { SIGTERM, SIGINT }) {
        RealPanel panel;
        ASSERT_TRUE(pumpUntil([] { return !registeredVxi11().empty(); }, 10s)) << "the panel did not register";
        ::kill(static_cast<pid_t>(panel.process.processId()), signal);
        ASSERT_TRUE(panel.process.waitForFinished(10000));
        EXPECT_EQ(panel.process.exitStatus(), QProcess::CrashExit) << "ended by the signal, as without VXI-11";
        EXPECT_EQ(registeredVxi11(), "") << "signal " << signal;
    }
}

// Quit ends the process at once (_Exit): the registration goes before it.
// Under Xvfb, the operator's keys from xdotool: Tab and Space choose the
// device, Shift+Tab and Space from the first control press Quit.
TEST(RealPanel, WithdrawsItsRegistrationOnQuit)
{
    PortMapperDaemon portMapper;
    SimProcess simulator;
    QProcess display;
    display.start("Xvfb", { "-displayfd", "1", "-nolisten", "tcp" });
    ASSERT_TRUE(pumpUntil([&] { return display.canReadLine(); }, 10s));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DISPLAY", ":" + display.readLine().trimmed());
    environment.insert("QT_QPA_PLATFORM", "xcb");
    RealPanel panel({ "--vxi11", "--port", QString::fromStdString(simulator.path()) }, environment);
    const auto keys = [&](const QString& window, const QStringList& keys) {
        QProcess xdotool;
        xdotool.setProcessEnvironment(environment);
        xdotool.start("xdotool", QStringList { "search", "--sync", "--onlyvisible", "--name", window, "windowfocus", "--sync", "key" } + keys);
        return xdotool.waitForFinished(10000) && xdotool.exitCode() == 0;
    };
    ASSERT_TRUE(keys("Select Device", { "Tab", "space" }));
    ASSERT_TRUE(pumpUntil([] { return !registeredVxi11().empty(); }, 10s));
    ASSERT_NE(simulator.receivedBefore(":SYST:REFL?").back(), "(no marker :SYST:REFL?)") << "start-up did not end";
    ASSERT_TRUE(keys("^R6140K Control Panel", { "shift+Tab", "space" }));
    ASSERT_TRUE(panel.process.waitForFinished(10000));
    EXPECT_EQ(panel.process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(panel.process.exitCode(), 0);
    EXPECT_EQ(registeredVxi11(), "");
    display.kill();
    display.waitForFinished(5000);
}

TEST(RealPanel, ReplacesTheRegistrationOfAKilledPanel)
{
    PortMapperDaemon portMapper;
    std::string stale;
    {
        RealPanel killed;
        ASSERT_TRUE(pumpUntil([&] { return !(stale = registeredVxi11()).empty(); }, 10s));
        killed.process.kill();
        killed.process.waitForFinished(5000);
    }
    ASSERT_EQ(registeredVxi11(), stale) << "a killed panel leaves its registration";
    RealPanel next;
    ASSERT_TRUE(pumpUntil([&] { return !registeredVxi11().empty() && registeredVxi11() != stale; }, 10s));
    EXPECT_EQ(runClient("rpcinfo", { "-n", QString::fromStdString(registeredVxi11()), "-t", "127.0.0.1", "395183", "1" }),
        "program 395183 version 1 ready and waiting");
}

TEST(RealPanel, WithoutRpcbindSaysWhatIsMissing)
{
    RealPanel panel;
    QByteArray said;
    const std::string missing = std::string("r6140k-panel: ") + remote::PortMapperMissing + "\n";
    EXPECT_TRUE(pumpUntil([&] { return (said += panel.process.readAllStandardError()).contains(missing.c_str()); }, 10s))
        << said.toStdString();
    RealPanel check({ "--check", "--vxi11", "--port", "/dev/null" });
    ASSERT_TRUE(check.process.waitForFinished(20000));
    EXPECT_THAT(check.process.readAllStandardOutput().toStdString(), HasSubstr(remote::PortMapperMissing));
}

// The port mapper forgets registrations when it restarts: the panel
// registers again and says so. A panel refused because another held VXI-11
// takes it once that one has gone.
TEST(RealPanel, RegistersAgainAfterRpcbindRestartsAndARefusedPanelTakesOver)
{
    auto portMapper = std::make_unique<PortMapperDaemon>();
    auto first = std::make_unique<PanelOnLan>(servingOn("127.0.0.1"));
    const std::string port = registeredVxi11();
    ASSERT_FALSE(port.empty());
    portMapper.reset();
    portMapper = std::make_unique<PortMapperDaemon>();
    ASSERT_TRUE(pumpUntil([&] { return registeredVxi11() == port; }, 10s)) << first->status();
    EXPECT_THAT(first->status(), HasSubstr("rpcbind had lost VXI-11's registration"));
    EXPECT_EQ(runClient("lxi", { "scpi", "-a", "127.0.0.1", "*IDN?" }), Identity);

    RealPanel second;
    QByteArray said;
    ASSERT_TRUE(pumpUntil([&] { return (said += second.process.readAllStandardError()).contains("another VXI-11 server"); }, 10s))
        << said.toStdString();
    first.reset();
    EXPECT_TRUE(pumpUntil([&] { return !registeredVxi11().empty() && registeredVxi11() != port; }, 10s))
        << "the refused panel never registered";
}

} // namespace

int main(int argc, char** argv)
{
    // Listing the tests, as CTest does when the program is built, needs no
    // namespace, nor root.
    if (std::find(argv, argv + argc, std::string_view("--gtest_list_tests")) == argv + argc)
        enterPrivateNetwork();
    return runWidgetTests(argc, argv);
}
