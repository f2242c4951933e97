// Far sides of a network line that misbehave, each a small server of the
// test's own: one that floods a reply without a line end, one that keeps
// asking telnet questions and never reads the answers, one that opens a
// telnet subnegotiation and never ends it, and one that never answers. The
// session stays bounded in memory and time, and says what happened.

#include <QProcess>
#include <gtest/gtest.h>

#include "EventLoop.h"
#include "InstrumentSession.h"
#include "MemoryInUse.h"
#include "NetworkBridge.h"

using namespace test_support;

namespace {

// Serves one connection on a free loopback port, which it prints first, in
// the manner its argument names; it prints "sent" once what it sends
// unasked has gone. Every query (a line ending in '?') is
// answered with 0, *IDN? with its identity, FLOOD? with 50 MB and no line
// end; "silent" answers nothing; "ask-never-read" floods telnet questions
// once the first line has come, and reads no more.
const char* FarSide = R"(
import socket, sys
mode = sys.argv[1]
IAC, SB, DO, DONT = 255, 250, 253, 254
server = socket.create_server(('127.0.0.1', 0))
print(server.getsockname()[1], flush=True)
conn, _ = server.accept()
if mode == 'ask-never-read':
    while b'\n' not in conn.recv(65536):
        pass
    questions = bytes([IAC, DO, 0, IAC, DONT, 0]) * 10000
    try:
        while True:
            conn.sendall(questions)
    except OSError:
        sys.exit(0)
if mode == 'endless-subnegotiation':
    conn.sendall(bytes([IAC, SB, 44]) + b'x' * 5000)
    print('sent', flush=True)
pending = b''
while True:
    data = conn.recv(65536)
    if not data:
        break
    pending += data
    while b'\n' in pending:
        line, pending = pending.split(b'\n', 1)
        line = line.rstrip(b'\r')
        if mode == 'silent' or not line.endswith(b'?'):
            continue
        if line.endswith(b'*IDN?'):
            conn.sendall(b'FAR,SIDE,1,0\r\n')
        elif line.endswith(b'FLOOD?'):
            for _ in range(50 * 16):
                conn.sendall(b'A' * 65536)
        else:
            conn.sendall(b'0\r\n')
)";

class HostileFarSide : public testing::Test {
protected:
    void open(const char* mode, const char* scheme)
    {
        farSide.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        farSide.start("/usr/bin/python3", { "-c", FarSide, mode });
        ASSERT_TRUE(farSide.waitForReadyRead(10000));
        const std::string url = std::string(scheme) + "://127.0.0.1:" + farSide.readLine().trimmed().toStdString();
        bridge = std::make_unique<usblink::NetworkBridge>(std::vector { *usblink::NetworkAddress::parse(url) });
        session = std::make_unique<session::InstrumentSession>(*bridge, [] { QCoreApplication::processEvents(); });
        session->listDevices();
        session->open(0);
        ASSERT_FALSE(session->linkDown()) << session->linkProblem();
    }

    ~HostileFarSide() override
    {
        session.reset();
        farSide.kill();
        farSide.waitForFinished();
    }

    QProcess farSide;
    std::unique_ptr<usblink::NetworkBridge> bridge;
    std::unique_ptr<session::InstrumentSession> session;
};

TEST_F(HostileFarSide, AReplyWithoutALineEndIsReadErrorEveryTimeAndLeavesNoMemoryBehind)
{
    open("flood", "tcp");
    session->query("*IDN?");
    const long before = memoryInUseKilobytes();
    for (int run = 0; run < 5; ++run)
        EXPECT_EQ(session->query("FLOOD?"), "READ ERROR") << "run " << run;
    EXPECT_LT(memoryInUseKilobytes() - before, 4096) << "kilobytes kept";
}

TEST_F(HostileFarSide, AFarSideThatAsksWithoutReadingIsDroppedWithTheReason)
{
    const long before = memoryInUseKilobytes();
    open("ask-never-read", "rfc2217");
    EXPECT_EQ(session->query("*IDN?"), "READ ERROR");
    ASSERT_TRUE(session->linkDown());
    EXPECT_NE(session->linkProblem().find("kept asking telnet questions without reading the answers"), std::string::npos)
        << session->linkProblem();
    EXPECT_LT(memoryInUseKilobytes() - before, 16384) << "kilobytes kept";
}

TEST_F(HostileFarSide, ASubnegotiationThatNeverEndsIsCutAndSaidSo)
{
    open("endless-subnegotiation", "rfc2217");
    ASSERT_TRUE(pumpUntil([this] { return farSide.canReadLine(); }));
    EXPECT_EQ(session->query("*IDN?"), "FAR,SIDE,1,0");
    EXPECT_NE(session->linkNotice().find("subnegotiation longer than 1024 bytes"), std::string::npos)
        << session->linkNotice();
}

TEST_F(HostileFarSide, AFarSideThatNeverAnswersIsNotAnsweringAfterTwoTimeOuts)
{
    open("silent", "tcp");
    EXPECT_EQ(session->query("A?"), "READ TIMEOUT");
    EXPECT_FALSE(session->notAnswering());
    EXPECT_EQ(session->query("B?"), "READ TIMEOUT");
    EXPECT_TRUE(session->notAnswering());
    EXPECT_EQ(session->query("C?"), "READ TIMEOUT") << "not sent, and answered at once";
}

} // namespace
