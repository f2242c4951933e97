// The panel on a line exported by Debian's ser2net, with r6140k-sim behind
// it on its pseudo-terminal: raw TCP and telnet with RFC 2217 behave to the
// panel as the serial line does, and a stopped server reads READ ERROR.

#include <QElapsedTimer>
#include <QLabel>
#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include "BridgeSelection.h"
#include "PanelHarness.h"
#include "StatusLine.h"
#include "Ser2NetProcess.h"
#include "SimProcess.h"

using namespace test_support;
using testing::HasSubstr;

namespace {

struct Protocol {
    const char* name;
    bool rfc2217;
    speed_t lineSpeed; // what the line has once the panel has opened it
};

// ser2net sets the line to 9600 baud: only RFC 2217 can ask for 57600.
const Protocol Protocols[] = { { "RawTcp", false, B9600 }, { "Rfc2217", true, B57600 } };

void PrintTo(const Protocol& protocol, std::ostream* out)
{
    *out << protocol.name;
}

class NetworkSession : public testing::TestWithParam<Protocol> {
protected:
    // The backends the program composes for the option --port URL.
    static std::unique_ptr<usblink::BridgeLibrary> bridgeFor(const std::string& url)
    {
        app::BridgeChoice choice;
        choice.ports = { url };
        std::string error;
        return app::selectBridge(choice, &error);
    }

    void startUp()
    {
        ASSERT_TRUE(server.ready());
        EXPECT_TRUE(panel.startUpOn("R6140K " + url));
    }

    speed_t lineSpeed() const
    {
        const int fd = ::open(simulator.path().c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK);
        termios line {};
        tcgetattr(fd, &line);
        ::close(fd);
        return cfgetospeed(&line);
    }

    SimProcess simulator;
    Ser2NetProcess server { simulator.path() };
    std::string url = GetParam().rfc2217 ? server.rfc2217Url() : server.rawUrl();
    std::unique_ptr<usblink::BridgeLibrary> bridge = bridgeFor(url);
    PanelHarness panel { *bridge };
};

TEST_P(NetworkSession, StartUpAndReadBackCarryExactlyTheUsualLines)
{
    startUp();
    EXPECT_TRUE(panel.main.lblIDN->text().startsWith("*IDN? = R6140K Simulator,R6140K,SIM00001,"))
        << panel.main.lblIDN->text().toStdString();
    EXPECT_EQ(panel.main.lblRefLock->text(), ":SYSTem:REFLock? = 1");
    EXPECT_EQ(panel.main.lblLinkStatus->status(), "");
    panel.session.send("*CLS");
    EXPECT_EQ(simulator.receivedBefore("*CLS"), StartUpLines);
    EXPECT_EQ(lineSpeed(), GetParam().lineSpeed);
}

TEST_P(NetworkSession, AStoppedServerReadsReadErrorAtOnceAndTheStatusLineSaysWhy)
{
    startUp();
    server.stop();
    SeenMessage seen;
    const auto watch = acknowledgeNextMessage(seen);
    QElapsedTimer clock;
    clock.start();
    panel.main.cmdError->click();
    EXPECT_EQ(seen.text, "READ ERROR");
    EXPECT_LT(clock.elapsed(), usblink::FTDI_Driver::ReadTimeoutMs / 5);
    EXPECT_THAT(panel.main.lblLinkStatus->status().toStdString(), HasSubstr("The connection to " + url + " was closed."));
}

INSTANTIATE_TEST_SUITE_P(Ser2Net, NetworkSession, testing::ValuesIn(Protocols),
    [](const testing::TestParamInfo<Protocol>& info) { return std::string(info.param.name); });

} // namespace
