// The panel serving its instrument on the SCPI socket: real clients from
// Debian (pyvisa-py, lxi-tools) and plain sockets against the panel on
// r6140k-sim over its pseudo-terminal, or on the in-process simulator where
// only the socket's own bounds are at stake.

#include <QTcpSocket>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include "ScpiClient.h"
#include "ScpiServer.h"
#include "SerialBridge.h"
#include "SimulatedBridge.h"
#include "Version.h"
#include "ClientRun.h"
#include "EventLoop.h"
#include "OperatorHand.h"
#include "PanelHarness.h"
#include "ServedPanel.h"
#include "SimProcess.h"
#include "UnsendableMessages.h"
#include "VanishedClients.h"
#include "StreamingClients.h"

using namespace std::chrono_literals;
using namespace test_support;
using testing::IsEmpty;
using instrument::SettingId;

namespace {

const std::string Identity = std::string("R6140K Simulator,R6140K,SIM00001,") + app::VersionText;

struct OnSimulatorProcess : testing::Test {
    SimProcess simulator;
    usblink::SerialBridge serial { { simulator.path() } };
    ServedPanel served { serial, "R6140K " + simulator.path() };
    QString port() const { return QString::number(served.server.port()); }
};

// Writes each message and prints each query's reply.
const char* PyvisaClient = R"(
import sys, pyvisa
instrument = pyvisa.ResourceManager('@py').open_resource('TCPIP0::127.0.0.1::%s::SOCKET' % sys.argv[1],
    read_termination='\n', write_termination='\n', timeout=10000)
for message in sys.argv[2:]:
    if '?' in message:
        print(instrument.query(message))
    else:
        instrument.write(message)
)";

std::vector<std::string> pyvisaReplies(const QString& port, const std::vector<std::string>& messages)
{
    QStringList arguments = { "-c", PyvisaClient, port };
    for (const std::string& message : messages)
        arguments << QString::fromStdString(message);
    const QString output = QString::fromStdString(runClient("/usr/bin/python3", arguments));
    std::vector<std::string> replies;
    for (const QString& line : output.split('\n'))
        replies.push_back(line.toStdString());
    return replies;
}

// One connection per message, as lxi makes them.
std::vector<std::string> lxiReplies(const QString& port, const std::vector<std::string>& messages)
{
    std::vector<std::string> replies;
    for (const std::string& message : messages) {
        const std::string output
            = runClient("lxi", { "scpi", "-a", "127.0.0.1", "-p", port, "-r", "-t", "10", QString::fromStdString(message) });
        if (message.find('?') != std::string::npos)
            replies.push_back(output);
    }
    return replies;
}

struct RealClient {
    const char* name;
    std::vector<std::string> (*replies)(const QString& port, const std::vector<std::string>& messages);
    std::string failingQuery;
    const char* failure;
};

void PrintTo(const RealClient& client, std::ostream* out)
{
    *out << client.name;
}

const RealClient RealClients[] = {
    { "Pyvisa", pyvisaReplies, ":OUTPut?", "READ TIMEOUT" }, // the instrument does not answer it
    { "Lxi", lxiReplies, std::string(260, 'X') + "?", "READ ERROR" }, // too long for the command buffer
};

class RealClientOnSimulator : public OnSimulatorProcess, public testing::WithParamInterface<RealClient> { };

TEST_P(RealClientOnSimulator, IdentifiesSetsQueriesAndHearsOfAFailedQuery)
{
    const auto replies = GetParam().replies(port(), { "*IDN?", ":MOD:IATT 41", ":mod:iatt?", GetParam().failingQuery });
    EXPECT_EQ(replies, (std::vector<std::string> { Identity, "41", GetParam().failure }));
    EXPECT_EQ(served.panel.main.scrIAtt->setting(), 41) << "the panel shows what the client set";
    for (const std::string& line : served.panel.line.lines)
        EXPECT_LE(line.size() + 2, usblink::FTDI_Driver::CommandBufferSize) << "a line cut short was sent";
    EXPECT_THAT(served.panel.line.violations, IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(Debian, RealClientOnSimulator, testing::ValuesIn(RealClients),
    [](const testing::TestParamInfo<RealClient>& info) { return std::string(info.param.name); });

TEST_F(OnSimulatorProcess, OperatorAndStreamingClientsShareTheInstrument)
{
    frmMain& m = served.panel.main;
    OperatorHand operatorHand(served.panel);
    QStringList streaming = { "/usr/bin/python3", "-c", SocketStreamingClient, port(), QString::fromStdString(Identity) };
    EXPECT_EQ(runClients({ streaming + QStringList { ":BAS:IOFF" }, streaming + QStringList { ":MOD:QINP" } }),
        (std::vector<std::string> { "all 1000 in order", "all 1000 in order" }));
    operatorHand.stop();
    ASSERT_TRUE(pumpUntil([&] { return !m.follower().pending() && !served.panel.session.busy(); }))
        << "the panel never read back what the client changed";
    EXPECT_THAT(served.panel.line.lines.back(), testing::AnyOf(":BAS:IOFF?", ":MOD:QINP?"))
        << "the read-back of what the clients changed";

    EXPECT_THAT(served.panel.line.violations, IsEmpty());
    EXPECT_GT(operatorHand.presses(), 50);
    operatorHand.expectEveryPressSentInTurn();
    for (const instrument::Setting& setting : instrument::Settings)
        EXPECT_EQ(std::to_string(shownValue(m, setting.id)), served.panel.session.query(setting.query)) << setting.query;
}

// Bounds of the socket itself, on the in-process simulator.
struct OnSimulatedBridge : testing::Test {
    sim::SimulatedBridge simulator;
    ServedPanel served { simulator, std::string(sim::SimulatedBridge::Description) + " " + sim::SimulatedBridge::SerialNumber };

    std::unique_ptr<QTcpSocket> connectClient()
    {
        auto client = std::make_unique<QTcpSocket>();
        client->connectToHost(QHostAddress::LocalHost, served.server.port());
        EXPECT_TRUE(pumpUntil([&client] { return client->state() == QAbstractSocket::ConnectedState; }));
        return client;
    }

    static bool hungUp(const QTcpSocket& client) { return client.state() == QAbstractSocket::UnconnectedState; }
};

TEST_F(OnSimulatedBridge, RefusesANinthClientAndDropsOneThatNeverEndsItsLine)
{
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < remote::ScpiServer::MaxClients; ++i)
        clients.push_back(connectClient());
    ASSERT_TRUE(pumpUntil([&] { return served.server.clientCount() == remote::ScpiServer::MaxClients; }));
    EXPECT_EQ(served.server.status(), QString("SCPI socket on 127.0.0.1:%1, 8 clients connected").arg(served.server.port()));
    remote::ScpiServer second(served.panel.session);
    EXPECT_FALSE(second.listen(QHostAddress::LocalHost, served.server.port())) << "its port is taken";
    EXPECT_THAT(secondsHeldForVanishedClients(served.server.port()),
        testing::AllOf(testing::SizeIs(remote::ScpiServer::MaxClients), testing::Each(testing::Le(60))));

    const auto ninth = connectClient();
    ASSERT_TRUE(pumpUntil([&] { return hungUp(*ninth); }));
    EXPECT_EQ(ninth->readAll(), "Refused: 8 clients are connected, the most served at once.\n");

    clients.front()->write(QByteArray(remote::ScpiClient::MaxLineBytes, 'x'));
    ASSERT_TRUE(pumpUntil([&] { return hungUp(*clients.front()); }));
    ASSERT_TRUE(pumpUntil([&] { return served.server.clientCount() == remote::ScpiServer::MaxClients - 1; }));
    EXPECT_EQ(served.panel.line.lines, StartUpLines) << "nothing of the endless line was sent";
}

// Every slot taken: a client idle for a minute or more makes room for a new
// one, the idle longest first, and is told why before it is closed.
TEST_F(OnSimulatedBridge, AClientIdleForAMinuteMakesRoomWhenEverySlotIsTaken)
{
    std::chrono::milliseconds now {};
    served.panel.sessionClock = [&now] { return now; };
    std::vector<std::unique_ptr<QTcpSocket>> clients;
    for (int i = 0; i < remote::ScpiServer::MaxClients; ++i)
        clients.push_back(connectClient());
    ASSERT_TRUE(pumpUntil([&] { return served.server.clientCount() == remote::ScpiServer::MaxClients; }));
    now = 30s;
    for (std::size_t i = 1; i < clients.size(); ++i)
        clients[i]->write(":MOD:IATT 5\n");
    ASSERT_TRUE(pumpUntil([&] { return served.panel.line.lines.size() == StartUpLines.size() + clients.size() - 1; }));
    now = 75s;
    const auto ninth = connectClient();
    ASSERT_TRUE(pumpUntil([&] { return hungUp(*clients.front()); }));
    EXPECT_EQ(clients.front()->readAll(),
        "Closed: idle for 75 s while every client slot was taken and another client asked for one.\n");
    ninth->write("*IDN?\n");
    EXPECT_TRUE(pumpUntil([&] { return ninth->canReadLine(); })) << "the ninth is served";
    EXPECT_FALSE(hungUp(*clients[1]));
}

TEST_F(OnSimulatedBridge, AClientGoneMidQueryLeavesNoReplyBehind)
{
    std::vector<std::string> received;
    served.panel.session.addLineObserver([&](auto direction, const std::string& line, const std::string& origin) {
        if (direction == session::InstrumentSession::Direction::Received)
            received.push_back(origin.substr(0, origin.find(':')) + " " + line);
    });
    const auto leaving = connectClient();
    leaving->write("*IDN?\n");
    leaving->disconnectFromHost();
    ASSERT_TRUE(pumpUntil([&] { return served.server.clientCount() == 0; }));

    const auto staying = connectClient();
    staying->write(":MOD:QATT 17\r\n:MOD:QATT?\r\n");
    ASSERT_TRUE(pumpUntil([&] { return staying->canReadLine(); }));
    EXPECT_EQ(staying->readAll(), "17\n");
    EXPECT_EQ(received, (std::vector<std::string> { "127.0.0.1 " + Identity, "127.0.0.1 17" }))
        << "the gone client's reply was read, and dropped";
    EXPECT_THAT(served.panel.line.violations, IsEmpty());
}

// Each line is refused as it stands: a query answers READ ERROR, a setting
// gets nothing; neither reaches the instrument, and the log lists it as
// refused, under the client's own address and port.
class UnsendableOnSocket : public OnSimulatedBridge, public testing::WithParamInterface<Unsendable> { };

TEST_P(UnsendableOnSocket, IsRefusedAndListedUnderTheClientsAddress)
{
    std::vector<std::string> refused;
    served.panel.session.addLineObserver([&](auto direction, const std::string& line, const std::string& origin) {
        if (direction == session::InstrumentSession::Direction::Refused)
            refused.push_back(origin + " " + line);
    });
    const auto client = connectClient();
    const std::string& message = GetParam().bytes;
    client->write(QByteArray::fromStdString(message + "\n*IDN?\n"));
    ASSERT_TRUE(pumpUntil([&] { return client->bytesAvailable() >= qint64(Identity.size()); }));
    const std::string answered = instrument::expectsReply(message) ? "READ ERROR\n" : "";
    EXPECT_EQ(client->readAll().toStdString(), answered + Identity + "\n");
    EXPECT_EQ(refused, (std::vector { "127.0.0.1:" + std::to_string(client->localPort()) + " " + message }));
    EXPECT_EQ(served.panel.line.lines.back(), "*IDN?") << "nothing else went out";
}

INSTANTIATE_TEST_SUITE_P(Messages, UnsendableOnSocket, testing::ValuesIn(UnsendableMessages),
    [](const testing::TestParamInfo<Unsendable>& info) { return std::string(info.param.name); });

// 20,000 queries without reading a reply in between: each is answered, in
// order, while reading the client pauses; its place is free once it closes.
TEST_F(OnSimulatedBridge, APipeliningClientHasEveryLineAnsweredInOrder)
{
    constexpr int Queries = 20000;
    const auto client = connectClient();
    QByteArray lines;
    for (int i = 0; i < Queries; ++i)
        lines += i % 2 ? "*IDN?\n" : ":MODULATOR:IATTENUATOR?\n";
    client->write(lines);
    QByteArray replies;
    qint64 mostWaiting = 0;
    served.panel.session.addLineObserver([&](auto, const std::string&, const std::string&) {
        for (const auto* each : served.server.findChildren<remote::ScpiClient*>())
            mostWaiting = std::max(mostWaiting, each->waitingBytes());
    });
    ASSERT_TRUE(pumpUntil([&] {
        replies += client->readAll();
        return replies.count('\n') >= Queries;
    }, 120s));
    const QList<QByteArray> answers = replies.split('\n');
    for (int i = 0; i < Queries; ++i)
        ASSERT_EQ(answers[i].toStdString(), i % 2 ? Identity : "0") << "reply " << i;
    constexpr qint64 OneRead = 64 * 1024; // what the stream takes from the system at once
    EXPECT_LE(mostWaiting, remote::ScpiClient::MaxWaitingBytes + OneRead) << "reading was not paused";
    client->disconnectFromHost();
    EXPECT_TRUE(pumpUntil([&] { return served.server.clientCount() == 0; }));
}

// A client that ends its sending (shutdown(SHUT_WR), as "nc -N" does) right
// after its query still reads the reply, then the connection closes.
TEST_F(OnSimulatedBridge, AHalfClosedClientStillGetsItsReplies)
{
    const auto client = connectClient();
    client->write("*IDN?\n:MOD:QATT 9\n:MOD:QATT?\n");
    ASSERT_TRUE(client->waitForBytesWritten(5000));
    ASSERT_EQ(::shutdown(static_cast<int>(client->socketDescriptor()), SHUT_WR), 0);
    ASSERT_TRUE(pumpUntil([&] { return hungUp(*client); }));
    EXPECT_EQ(client->readAll().toStdString(), Identity + "\n9\n");
    EXPECT_TRUE(pumpUntil([&] { return served.server.clientCount() == 0; }));
}

} // namespace
