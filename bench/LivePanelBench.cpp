// The live front panel's channel on the simulated instrument with QWebSocket
// viewers on loopback: how long a change made on the desktop (a setting
// message through the session, as the panel sends it) takes to reach a
// viewer, and the CPU the panel spends while 32 viewers watch and nothing
// changes.

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>
#include <memory>
#include <sys/resource.h>

#include "BenchReport.h"
#include "EventLoop.h"
#include "LiveChannel.h"
#include "LiveState.h"
#include "SimulatedBridge.h"

using namespace std::chrono_literals;

namespace {

double cpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    sim::SimulatedBridge bridge;
    session::InstrumentSession session { bridge, [] { QCoreApplication::processEvents(); } };
    session.open(0);
    remote::LiveState state { session };
    remote::LiveChannel channel { session, state, remote::LiveChannel::newToken() };
    const quint16 port = channel.listenOnLoopback();

    std::vector<std::unique_ptr<QWebSocket>> viewers;
    int lastSeen = -1;
    for (int i = 0; i < remote::LiveChannel::MaxViewers; ++i) {
        viewers.push_back(std::make_unique<QWebSocket>());
        viewers.back()->open(QUrl(QString("ws://127.0.0.1:%1/ws").arg(port)));
    }
    QObject::connect(viewers.front().get(), &QWebSocket::textMessageReceived, [&](const QString& text) {
        const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
        if (message["type"] == "setting" && message["name"] == "MODulator:IOFFset")
            lastSeen = message["value"].toInt();
    });
    if (!test_support::pumpUntil([&] { return channel.viewers() == remote::LiveChannel::MaxViewers; }, 10s))
        bench::fail("the viewers did not connect");

    std::vector<double> latencies;
    for (int value = 1; value <= 500; ++value) {
        const auto start = bench::Clock::now();
        session.send(":MOD:IOFF " + std::to_string(value));
        if (!test_support::pumpUntil([&] { return lastSeen == value; }, 5s))
            bench::fail("a change never reached the viewer");
        latencies.push_back(bench::microsecondsSince(start) / 1000);
    }
    std::sort(latencies.begin(), latencies.end());
    const double p95 = latencies[latencies.size() * 95 / 100];
    bench::report("live panel: desktop change to viewer, median (ms, 32 viewers)", bench::fixed(bench::median(latencies), 3),
        "200", bench::yesNo(bench::median(latencies) < 200));
    bench::report("live panel: desktop change to viewer, 95th percentile (ms)", bench::fixed(p95, 3), "200",
        bench::yesNo(p95 < 200));

    // Idle: the event loop waits on its sockets alone, for two seconds.
    const double cpuBefore = cpuSeconds();
    const auto idleStart = bench::Clock::now();
    QEventLoop idle;
    QTimer::singleShot(2s, &idle, &QEventLoop::quit);
    idle.exec();
    const double share = 100 * (cpuSeconds() - cpuBefore) / (bench::microsecondsSince(idleStart) / 1e6);
    bench::report("live panel: idle CPU with 32 viewers (%)", bench::fixed(share, 3), "0.1", bench::yesNo(share < 0.1));
    return 0;
}
