// Requests per second that `lxi benchmark --raw` gets through the panel's
// SCPI socket and through ser2net's raw TCP port, each in front of its own
// r6140k-sim --pace (a 57600-baud line's timing), in one run; and the wire
// limit of the same exchange: what the line alone allows.

#include <QApplication>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <optional>

#include "BenchReport.h"
#include "LxiBenchmark.h"
#include "PanelStartUp.h"
#include "ScpiServer.h"
#include "SerialBridge.h"
#include "SimProcess.h"

using namespace bench;

namespace {

constexpr int Requests = 200;
constexpr double CharacterTimeUs = 10 * 1e6 / 57600; // start bit, eight data bits, stop bit
const QString Identify = "*IDN?";

// A loopback port nobody listens on now.
quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        fail("no free loopback port");
    return probe.serverPort();
}

double lxiRawRate(quint16 port)
{
    return lxiRate({ "-p", QString::number(port), "-r" }, Requests);
}

// ser2net exporting the simulator's line raw on a loopback port, in the
// foreground; stopped with the object.
class Ser2net {
public:
    explicit Ser2net(const std::string& line)
        : port_(freePort())
    {
        process_.start("ser2net",
            { "-n", "-u", "-Y", "connection: &bench", "-Y", QString("  accepter: tcp,127.0.0.1,%1").arg(port_), "-Y",
                QString("  connector: serialdev,%1,57600n81,local").arg(QString::fromStdString(line)) });
        if (!process_.waitForStarted())
            fail("cannot run ser2net");
        for (int attempt = 0; !accepts(); ++attempt) {
            if (attempt == 100 || process_.state() == QProcess::NotRunning)
                fail("ser2net does not listen on port " + std::to_string(port_));
            QThread::msleep(50);
        }
    }
    ~Ser2net()
    {
        process_.terminate();
        if (!process_.waitForFinished(5000))
            process_.kill();
    }
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    quint16 port() const { return port_; }

private:
    bool accepts() const
    {
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, port_);
        return probe.waitForConnected(1000);
    }

    quint16 port_;
    QProcess process_;
};

} // namespace

int main(int argc, char** argv)
{
    useOffscreenUnlessChosen();
    QApplication application(argc, argv);

    test_support::SimProcess behindSer2net({ "--pace" });
    const double ser2netRate = [&] {
        const Ser2net ser2net(behindSer2net.path());
        return lxiRawRate(ser2net.port());
    }();

    test_support::SimProcess behindPanel({ "--pace" });
    usblink::SerialBridge serial({ behindPanel.path() });
    test_support::PanelHarness panel(serial);
    startUpOn(panel, "R6140K " + behindPanel.path());
    remote::ScpiServer server(panel.session);
    if (!server.listen(QHostAddress::LocalHost, 0))
        fail("the panel cannot listen: " + server.errorString().toStdString());
    server.startAccepting();
    const std::string identity = panel.session.query(Identify.toStdString());
    const double panelRate = lxiRawRate(server.port());

    // The query and its reply, each with CR LF, cross the line one after the other.
    const std::size_t exchangeBytes = Identify.size() + 2 + identity.size() + 2;
    const double wireLimit = 1e6 / (static_cast<double>(exchangeBytes) * CharacterTimeUs);
    const std::string runs = ", " + std::to_string(Requests) + " requests of " + Identify.toStdString();
    report("lxi benchmark --raw through ser2net's raw TCP port, r6140k-sim --pace" + runs, fixed(ser2netRate, 1) + " /s");
    report("lxi benchmark --raw through the panel's SCPI socket, r6140k-sim --pace" + runs, fixed(panelRate, 1) + " /s");
    report("Panel's requests per second over ser2net's", fixed(panelRate / ser2netRate, 2), "≥ 1.00",
        yesNo(panelRate >= ser2netRate));
    report("Wire limit of the same exchange at 57600 baud 8N1 (" + std::to_string(exchangeBytes) + " bytes)",
        fixed(wireLimit, 1) + " /s");
    return 0;
}
