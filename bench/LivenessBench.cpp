// How live the panel stays, and how little it keeps, when the far end of
// its line misbehaves: the longest the event loop goes unserved while a
// reply is awaited (on r6140k-sim's pseudo-terminal, and on a network line
// whose far side never answers), and the memory kept after a far side
// floods telnet questions without reading, after five replies without a line
// end (the far side sends one until it is closed), and after a socket client
// sends 100,000 queries and reads no reply.

#include <QApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <memory>

#include "BenchReport.h"
#include "EventLoop.h"
#include "FarSideProcess.h"
#include "InstrumentSession.h"
#include "MemoryInUse.h"
#include "NetworkBridge.h"
#include "ScpiServer.h"
#include "SerialBridge.h"
#include "SimProcess.h"
#include "SimulatedBridge.h"

using namespace bench;
using namespace test_support;

namespace {

constexpr double LivenessGoalMs = 100;

// The longest time between two turns of the event loop while the session
// waits for the reply to query on an instrument that never answers it.
double longestGapWhileAwaiting(session::InstrumentSession& session, const std::string& query)
{
    QElapsedTimer sinceTurn;
    double longest = 0;
    QTimer turn;
    QObject::connect(&turn, &QTimer::timeout, [&] {
        longest = std::max(longest, double(sinceTurn.restart()));
    });
    turn.start(5);
    sinceTurn.start();
    if (session.query(query) != "READ TIMEOUT")
        fail("the query " + query + " was answered");
    return longest;
}

std::unique_ptr<session::InstrumentSession> openedSession(usblink::BridgeLibrary& bridge)
{
    auto session = std::make_unique<session::InstrumentSession>(bridge, [] { QCoreApplication::processEvents(); });
    session->listDevices();
    session->open(static_cast<int32_t>(session->listDevices().size()) - 1);
    if (session->linkDown())
        fail(session->linkProblem());
    return session;
}

void reportLiveness(const std::string& line, double gapMs)
{
    report("longest event-loop gap while a reply is awaited, " + line + " (ms)", fixed(gapMs, 1),
        "<= " + fixed(LivenessGoalMs, 0), yesNo(gapMs <= LivenessGoalMs));
}

void measureSerialLiveness()
{
    SimProcess simulator;
    usblink::SerialBridge bridge({ simulator.path() });
    const auto session = openedSession(bridge);
    reportLiveness("serial line", longestGapWhileAwaiting(*session, ":OUTPut?"));
}

void measureNetworkLiveness()
{
    FarSideProcess farSide;
    usblink::NetworkBridge bridge({ *usblink::NetworkAddress::parse(farSide.start("silent", "tcp")) });
    const auto session = openedSession(bridge);
    reportLiveness("network line", longestGapWhileAwaiting(*session, "A?"));
}

void reportKept(const std::string& what, long kilobytes)
{
    report("memory kept after " + what + " (MB)", fixed(kilobytes / 1024.0, 1));
}

void measureTelnetFlood()
{
    const long before = memoryInUseKilobytes();
    FarSideProcess farSide;
    usblink::NetworkBridge bridge({ *usblink::NetworkAddress::parse(farSide.start("ask-never-read", "rfc2217")) });
    const auto session = openedSession(bridge);
    session->query("*IDN?");
    if (!session->linkDown())
        fail("a far side that never reads was not dropped");
    reportKept("telnet questions never read", memoryInUseKilobytes() - before);
}

void measureReplyFlood()
{
    FarSideProcess farSide;
    usblink::NetworkBridge bridge({ *usblink::NetworkAddress::parse(farSide.start("flood", "tcp")) });
    const auto session = openedSession(bridge);
    session->query("*IDN?");
    const long before = memoryInUseKilobytes();
    for (int run = 0; run < 5; ++run)
        if (session->query("FLOOD?") != "READ ERROR")
            fail("a reply without a line end was not READ ERROR");
    reportKept("five replies without a line end", memoryInUseKilobytes() - before);
}

void measureUnreadReplies()
{
    sim::SimulatedBridge simulator;
    const auto session = openedSession(simulator);
    remote::ScpiServer server(*session);
    if (!server.listen(QHostAddress::LocalHost, 0))
        fail("no loopback port");
    server.startAccepting();
    constexpr int Queries = 100000;
    int answered = 0;
    session->addLineObserver([&answered](auto direction, const std::string&, const std::string&) {
        answered += direction == session::InstrumentSession::Direction::Received;
    });
    const long before = memoryInUseKilobytes();
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    client.setReadBufferSize(1);
    if (!pumpUntil([&] { return server.clientCount() == 1; }))
        fail("the client did not connect");
    QByteArray queries;
    for (int i = 0; i < Queries; ++i)
        queries += "*IDN?\n";
    client.write(queries);
    // Served to the end (what the system's buffers take) or disconnected
    // once more than the bound is left unread.
    const auto done = [&] { return answered == Queries || server.clientCount() == 0; };
    if (!pumpUntil(done, std::chrono::seconds(120)))
        fail("the client's queries were neither answered nor its connection ended");
    std::fprintf(stderr, "%d of %d queries answered before the client was %s\n", answered, Queries,
        answered == Queries ? "served to the end" : "disconnected");
    reportKept("100,000 queries whose replies were not read", memoryInUseKilobytes() - before);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    measureSerialLiveness();
    measureNetworkLiveness();
    measureTelnetFlood();
    measureReplyFlood();
    measureUnreadReplies();
    return 0;
}
