// Far sides of a network line that misbehave, each a small server of the
// test's own: one that floods a reply without a line end, one that keeps
// asking telnet questions and never reads the answers, one that opens a
// telnet subnegotiation and never ends it, and one that never answers. The
// session stays bounded in memory and time, and says what happened.

#include <gtest/gtest.h>

#include "EventLoop.h"
#include "FarSideProcess.h"
#include "InstrumentSession.h"
#include "MemoryInUse.h"
#include "NetworkBridge.h"

using namespace test_support;

namespace {


class HostileFarSide : public testing::Test {
protected:
    void open(const char* mode, const char* scheme)
    {
        const std::string url = farSide.start(mode, scheme);
        ASSERT_FALSE(url.empty());
        bridge = std::make_unique<usblink::NetworkBridge>(std::vector { *usblink::NetworkAddress::parse(url) });
        session = std::make_unique<session::InstrumentSession>(*bridge, [] { QCoreApplication::processEvents(); });
        session->listDevices();
        session->open(0);
        ASSERT_FALSE(session->linkDown()) << session->linkProblem();
    }

    FarSideProcess farSide;
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
    ASSERT_TRUE(pumpUntil([this] { return farSide.hasSent(); }));
    // What followed the cut is data: the purge before a query drops it, unless
    // it is still on its way, when it comes before the first reply.
    session->query("*IDN?");
    EXPECT_EQ(session->query("*IDN?"), "FAR,SIDE,1,0") << "a later reply is not swallowed";
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
