#include <QCoreApplication>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "BridgeSelection.h"
#include "FTDI_Driver.h"
#include "Options.h"
#include "PanelBridge.h"
#include "SerialBridge.h"
#include "SimulatedBridge.h"

using app::Options;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

Options parse(QStringList arguments)
{
    arguments.prepend("r6140k-panel");
    return app::parseOptions(arguments);
}

TEST(Options, WithoutArgumentsUseTheSerialPortsOfTheSystem)
{
    const Options options = parse({});
    EXPECT_FALSE(options.simulate);
    EXPECT_EQ(options.backend, Options::Backend::Serial);
    EXPECT_TRUE(options.ports.empty());
}

TEST(Options, TakeEveryPortInOrderAndTheBackend)
{
    const Options options = parse({"--backend", "d2xx", "--port", "/dev/pts/3", "--port=/dev/ttyS1"});
    EXPECT_EQ(options.backend, Options::Backend::D2xx);
    EXPECT_THAT(options.ports, ElementsAre("/dev/pts/3", "/dev/ttyS1"));
    EXPECT_THAT(parse({ "--port", "ttyS0", "--port", "./here" }).ports, ElementsAre("/dev/ttyS0", "./here"))
        << "a bare name is the device the system opens";
    EXPECT_EXIT(parse({ "--port", "" }), testing::ExitedWithCode(2), "--port: the path is empty");
}

TEST(Options, PassOverQtsOwnOptions)
{
    const Options options = parse({"-platform", "offscreen", "-style=fusion", "--reverse", "--simulate"});
    EXPECT_TRUE(options.simulate);
    EXPECT_TRUE(options.ports.empty());
}

TEST(Options, RefuseAnUnknownBackendOrOption)
{
    EXPECT_EXIT(parse({"--backend", "usb"}), testing::ExitedWithCode(2), "unknown backend usb");
    EXPECT_EXIT(parse({"--frobnicate"}), testing::ExitedWithCode(2), "frobnicate");
    for (const char* address : { "tcp://bench-pi", "tcp://bench-pi:0", "telnet://bench-pi:23", "tcp://a:b:1" })
        EXPECT_EXIT(parse({ "--port", address }), testing::ExitedWithCode(2),
            std::string("bad network port ") + address + " \\(tcp://HOST:PORT or rfc2217://HOST:PORT\\)");
}

TEST(BridgeSelection, NetworkAddressesAreListedAfterTheSerialLinesAsGiven)
{
    Options options;
    options.ports = { "/dev/pts/77", "rfc2217://[::1]:2217", "tcp://bench-pi:3018" };
    std::string error;
    const auto bridge = app::selectBridge(options, &error);
    usblink::FTDI_Driver driver(*bridge, [] { });
    const usblink::DeviceList devices = driver.EnumerateDevices();
    ASSERT_GE(devices.size(), 3u);
    EXPECT_THAT(std::vector(devices.end() - 3, devices.end()),
        ElementsAre("R6140K /dev/pts/77", "R6140K rfc2217://[::1]:2217", "R6140K tcp://bench-pi:3018"));
}

TEST(Options, LockWatchTakesSecondsOrZero)
{
    EXPECT_EQ(parse({}).lockWatch.count(), 5000);
    EXPECT_EQ(parse({ "--lock-watch", "0" }).lockWatch.count(), 0);
    EXPECT_EQ(parse({ "--lock-watch=2.5" }).lockWatch.count(), 2500);
    for (const char* refused : { "-1", "0.05", "abc", "3601" })
        EXPECT_EXIT(parse({ "--lock-watch", refused }), testing::ExitedWithCode(2), std::string("--lock-watch ") + refused);
}

TEST(BridgeSelection, TheSimulatorWithPortsListsBoth)
{
    Options options;
    options.simulate = true;
    options.ports = { "/dev/pts/77", "tcp://bench-pi:3018" };
    std::string error;
    const auto bridge = app::panelBridge(options, &error);
    usblink::FTDI_Driver driver(*bridge, [] { });
    const usblink::DeviceList devices = driver.EnumerateDevices();
    ASSERT_GE(devices.size(), 3u);
    EXPECT_EQ(devices.front(), std::string(sim::SimulatedBridge::Description) + " " + sim::SimulatedBridge::SerialNumber);
    EXPECT_THAT(std::vector(devices.end() - 2, devices.end()), ElementsAre("R6140K /dev/pts/77", "R6140K tcp://bench-pi:3018"));
}

TEST(Options, ListenOnLoopbackUnlessAnotherAddressIsNamed)
{
    EXPECT_FALSE(parse({}).listen) << "nothing listens without --listen";
    const struct {
        const char* argument;
        std::string host;
        uint16_t port;
    } accepted[] = {
        {"5025", "127.0.0.1", 5025},
        {"0.0.0.0:6000", "0.0.0.0", 6000},
        {"[::1]:5025", "::1", 5025},
    };
    for (const auto& row : accepted) {
        const Options options = parse({"--listen", row.argument});
        ASSERT_TRUE(options.listen) << row.argument;
        EXPECT_EQ(options.listen->host, row.host) << row.argument;
        EXPECT_EQ(options.listen->port, row.port) << row.argument;
    }
    const struct {
        const char* argument;
        const char* says;
    } refused[] = {
        {"65536", "65536: the port must be a number from 0 to 65535"},
        {"localhost:5025", "localhost:5025: localhost is not an IP address"},
        {"::1", "::1: an IPv6 address goes in brackets"},
        {"[::1", "\\[::1: an IPv6 address in brackets must be followed by :PORT"},
    };
    for (const auto& row : refused)
        EXPECT_EXIT(parse({"--listen", row.argument}), testing::ExitedWithCode(2),
            std::string("--listen ") + row.says + " \\(expected PORT, HOST:PORT or \\[IPv6\\]:PORT");
}

// --web takes an address, a port, both or neither; without a port the
// server picks 80, 8080 or any (nullopt here).
TEST(Options, WebOnLoopbackUnlessAnotherAddressIsNamed)
{
    EXPECT_FALSE(parse({}).web) << "no web pages without --web";
    const struct {
        QStringList arguments;
        std::string host;
        std::optional<uint16_t> port;
        bool control = false;
    } accepted[] = {
        { { "--web" }, "127.0.0.1", std::nullopt },
        { { "--web", "--simulate" }, "127.0.0.1", std::nullopt },
        { { "--web", "8081", "--web-control" }, "127.0.0.1", 8081, true },
        { { "--web", "0.0.0.0" }, "0.0.0.0", std::nullopt },
        { { "--web=192.168.1.20:80" }, "192.168.1.20", 80 },
        { { "--web", "[::1]" }, "::1", std::nullopt },
        { { "--web", "[::1]:8080" }, "::1", 8080 },
    };
    for (const auto& row : accepted) {
        const Options options = parse(row.arguments);
        ASSERT_TRUE(options.web) << row.arguments.join(' ').toStdString();
        EXPECT_EQ(options.web->host, row.host) << row.arguments.join(' ').toStdString();
        EXPECT_EQ(options.web->port, row.port) << row.arguments.join(' ').toStdString();
        EXPECT_EQ(options.webControl, row.control) << row.arguments.join(' ').toStdString();
    }
    const struct {
        QStringList arguments;
        const char* says;
    } refused[] = {
        { { "--web", "host.example" }, "--web host.example: host.example is not an IP address \\(expected HOST, PORT" },
        { { "--web", "::1" }, "--web ::1: an IPv6 address goes in brackets" },
        { { "--web", "1.2.3.4:http" }, "the port must be a number" },
        { { "--web-control" }, "--web-control: allows control from the web pages, which only --web serves" },
    };
    for (const auto& row : refused)
        EXPECT_EXIT(parse(row.arguments), testing::ExitedWithCode(2), row.says);
}

TEST(BridgeSelection, SimulationTakesPrecedenceOverTheBackend)
{
    Options options;
    options.simulate = true;
    options.backend = Options::Backend::D2xx;
    std::string error;
    const auto bridge = app::panelBridge(options, &error);
    EXPECT_NE(dynamic_cast<sim::SimulatedBridge*>(bridge.get()), nullptr);
}

TEST(BridgeSelection, MissingD2xxLibraryIsReportedByItsFileName)
{
    Options options;
    options.backend = Options::Backend::D2xx;
    std::string error;
    EXPECT_EQ(app::selectBridge(options, &error, "/nonexistent/libftd2xx.so"), nullptr);
    EXPECT_THAT(error, HasSubstr("/nonexistent/libftd2xx.so"));
}

TEST(BridgeSelection, DefaultsToTheSerialPortsWithTheExtraLines)
{
    Options options;
    options.ports = {"/dev/pts/9"};
    std::string error;
    const auto bridge = app::selectBridge(options, &error);
    ASSERT_NE(dynamic_cast<usblink::SerialBridge*>(bridge.get()), nullptr);
    char description[usblink::ListTextSize] = {};
    uint32_t count = 0;
    ASSERT_EQ(bridge->FT_ListDevices(&count, nullptr, usblink::FT_LIST_NUMBER_ONLY), usblink::FT_OK);
    ASSERT_GE(count, 1u);
    ASSERT_EQ(bridge->FT_ListDevices(reinterpret_cast<void*>(uintptr_t{count - 1}), description,
                                     usblink::FT_LIST_BY_INDEX | usblink::FT_OPEN_BY_SERIAL_NUMBER),
              usblink::FT_OK);
    EXPECT_STREQ(description, "/dev/pts/9");
}

}  // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
