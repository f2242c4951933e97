// The simulated analyzer's raw socket with pyvisa-py as the client, the
// analyzer in-process beside the instrument it looks at; over VXI-11 too,
// in a network namespace of the test's own.

#include <QCoreApplication>
#include <algorithm>
#include <cstdio>
#include <string_view>
#include <gtest/gtest.h>

#include "ClientRun.h"
#include "PortMapperDaemon.h"
#include "PrivateNetwork.h"
#include "SimulatedAnalyzer.h"
#include "Version.h"

namespace {

using sim::AnalyzerFault;
using test_support::runClient;

const QString Python = "/usr/bin/python3";

// Each argument after the resource is one query; its reply, or the name of
// the error it raised, is printed on a line of its own.
const char* PyvisaQueries = R"(
import sys, pyvisa
analyzer = pyvisa.ResourceManager('@py').open_resource(sys.argv[1], read_termination='\n', write_termination='\n', timeout=1000)
for message in sys.argv[2:]:
    try:
        if '?' in message:
            print(analyzer.query(message))
        else:
            analyzer.write(message)
    except Exception as error:
        print(type(error).__name__)
)";

std::string dbm(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

struct SocketCase {
    const char* name;
    AnalyzerFault fault;
    QStringList queries;
    std::string expected; // "%c %i %w": the noiseless carrier, image and wanted levels
};

class AnalyzerSocket : public testing::TestWithParam<SocketCase> { };

TEST_P(AnalyzerSocket, AnswersPyvisa)
{
    const SocketCase& c = GetParam();
    sim::Instrument instrument("SIM00042");
    instrument.handleLine(":MOD:IOFF 1000;:MOD:QATT 9");
    sim::SimulatedAnalyzer analyzer(instrument, { .model = { .noiseDb = 0 } });
    ASSERT_TRUE(analyzer.listen(QHostAddress::LocalHost)) << analyzer.errorString().toStdString();
    analyzer.setFault(c.fault);
    const sim::AnalyzerModel& model = analyzer.model();
    std::string expected = c.expected;
    for (const auto& [mark, value] : { std::pair { "%c", model.levelDbm(model.carrierHz()) },
             { "%i", model.levelDbm(model.imageHz()) }, { "%w", model.levelDbm(model.wantedHz()) } })
        for (auto at = expected.find(mark); at != std::string::npos; at = expected.find(mark))
            expected.replace(at, 2, dbm(value));
    EXPECT_EQ(runClient(Python, QStringList { "-c", PyvisaQueries, analyzer.socketResource() } + c.queries), expected);
}

const std::string Identity = std::string("R6140K Simulator,Simulated Analyzer,SA-SIM00042,") + app::VersionText;

INSTANTIATE_TEST_SUITE_P(Dialect, AnalyzerSocket,
    testing::Values(
        SocketCase { "Readings",
            {},
            { "*IDN?", ":INIT:CONT OFF;:INIT:CONT?", ":CALC:MARK2:X?", ":init:imm;*OPC?",
                ":CALC:MARK1:Y?;:CALC:MARK2:Y?;:CALC:MARK3:Y?", ":CALCULATE:MARKER4:X 0.999 GHz;:CALC:MARK4:X?",
                ":CALC:MARK4:Y?" },
            Identity + "\n0\n999000000\n1\n%c;%i;%w\n999000000\n%i" },
        SocketCase { "Errors",
            {},
            { ":BOGUS 1;:CALC:MARK1:X 1 THZ;:CALC:MARK1:X -5;:INIT:CONT;:INIT:CONT MAYBE", ":CALC:MARK5:X?",
                ":SYST:ERR?;:SYST:ERR?;:SYST:ERR?", ":SYST:ERR?;:SYST:ERR?;:SYST:ERR?;:SYST:ERR?",
                QString(1100, 'A'), ":SYST:ERR?;:SYST:ERR?", ":CALC:MARK1:X?" },
            "VisaIOError\n-113,\"Undefined header\";-104,\"Data type error\";-222,\"Data out of range\"\n"
            "-109,\"Missing parameter\";-224,\"Illegal parameter value\";-113,\"Undefined header\";0,\"No error\"\n"
            "-363,\"Input buffer overrun\";0,\"No error\"\n1000000000" },
        SocketCase { "GarbageAfterTwoReadings",
            { AnalyzerFault::Kind::Garbage, 2 }, { ":CALC:MARK1:Y?", ":CALC:MARK2:Y?", ":CALC:MARK3:Y?", "*IDN?" },
            "%c\n%i\n#?!garbage\n#?!garbage" },
        SocketCase { "SilentAfterOneReading",
            { AnalyzerFault::Kind::Silent, 1 }, { ":CALC:MARK1:Y?", ":CALC:MARK1:Y?", "*IDN?" },
            "%c\nVisaIOError\nVisaIOError" },
        SocketCase { "HangUpAfterOneReading",
            { AnalyzerFault::Kind::HangUp, 1 }, { ":CALC:MARK3:Y?", "*OPC?" }, "%w\nVisaIOError" }),
    [](const auto& info) { return std::string(info.param.name); });

// The same dialect through the project's VXI-11 server, found through the
// port mapper (rpcbind, in the test's own network namespace).
TEST(AnalyzerVxi11, AnswersPyvisaThroughThePortMapper)
{
    test_support::PortMapperDaemon portMapper;
    sim::Instrument instrument("SIM00042");
    sim::SimulatedAnalyzer analyzer(instrument, { .model = { .noiseDb = 0 }, .sweepTime = std::chrono::milliseconds(30) });
    ASSERT_TRUE(analyzer.listenVxi11(QHostAddress::LocalHost, true)) << analyzer.errorString().toStdString();
    const sim::AnalyzerModel& model = analyzer.model();
    EXPECT_EQ(runClient(Python,
                  { "-c", PyvisaQueries, "TCPIP::127.0.0.1::INSTR", "*IDN?", ":INIT:CONT OFF", ":INIT:IMM;*OPC?",
                      ":CALC:MARK2:Y?", ":BOGUS", ":SYST:ERR?;:INIT:CONT?" }),
        Identity + "\n1\n" + dbm(model.levelDbm(model.imageHz())) + "\n-113,\"Undefined header\";0");
}

} // namespace

int main(int argc, char** argv)
{
    // Listing the tests, as CTest does when the program is built, needs no
    // namespace, nor root.
    if (std::find(argv, argv + argc, std::string_view("--gtest_list_tests")) == argv + argc)
        test_support::enterPrivateNetwork();
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
