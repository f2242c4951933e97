// Requests per second that `lxi benchmark` gets over VXI-11 through the
// panel, beside `lxi benchmark --raw` through the panel's SCPI socket, both
// in front of one r6140k-sim --pace (a 57600-baud line's timing), taking
// turns; and their ratio. VXI-11 costs two calls (write, then read) where
// the socket needs one line each way: the line itself must stay the limit.
// Runs in a network namespace of its own, with its own rpcbind.

#include <QApplication>
#include <QDir>

#include "BenchReport.h"
#include "DeviceCalls.h"
#include "DaemonProcess.h"
#include "LxiBenchmark.h"
#include "PanelStartUp.h"
#include "PortMapper.h"
#include "PrivateNetwork.h"
#include "ScpiServer.h"
#include "SerialBridge.h"
#include "SimProcess.h"
#include "Vxi11Server.h"

using namespace bench;

namespace {

constexpr int Requests = 200;
constexpr int Turns = 3;

} // namespace

int main(int argc, char** argv)
{
    test_support::enterPrivateNetwork();
    useOffscreenUnlessChosen();
    QApplication application(argc, argv);

    QDir().mkpath("/run/rpcbind");
    const test_support::DaemonProcess portMapper("rpcbind", { "-f" }, [] { return remote::portMapperProblem().empty(); });
    if (!portMapper.ready())
        fail("rpcbind does not answer");
    test_support::SimProcess simulator({ "--pace" });
    usblink::SerialBridge serial({ simulator.path() });
    test_support::PanelHarness panel(serial);
    startUpOn(panel, "R6140K " + simulator.path());
    remote::ClientSlots clientSlots;
    remote::ScpiServer socket(panel.session, clientSlots);
    remote::Vxi11Server vxi11(panel.session, clientSlots);
    if (!socket.listen(QHostAddress::LocalHost, 0) || !vxi11.listen(QHostAddress::LocalHost))
        fail("the panel cannot listen");
    socket.startAccepting();
    remote::PortMapperRegistration registration(vxi11::CoreProgram, vxi11::ProgramVersion);
    if (const std::string problem = registration.registerAt(vxi11.address(), vxi11.port()); !problem.empty())
        fail(problem);

    std::vector<double> socketRates, vxi11Rates;
    for (int turn = 0; turn < Turns; ++turn) {
        socketRates.push_back(lxiRate({ "-p", QString::number(socket.port()), "-r" }, Requests));
        vxi11Rates.push_back(lxiRate({}, Requests));
    }
    const double socketRate = median(socketRates);
    const double vxi11Rate = median(vxi11Rates);
    const std::string runs = ", r6140k-sim --pace, " + std::to_string(Requests) + " requests of *IDN?, median of "
        + std::to_string(Turns);
    report("lxi benchmark --raw through the panel's SCPI socket" + runs, fixed(socketRate, 1) + " /s");
    report("lxi benchmark (VXI-11) through the panel" + runs, fixed(vxi11Rate, 1) + " /s");
    report("VXI-11's requests per second over the SCPI socket's", fixed(vxi11Rate / socketRate, 3), "≥ 0.95",
        yesNo(vxi11Rate >= 0.95 * socketRate));
    return 0;
}
