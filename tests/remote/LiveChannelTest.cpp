// The live front panel's channel with QWebSocket clients on loopback, on the
// simulated instrument: what it refuses, what a flood costs, and that a
// viewer that never reads holds nobody up.

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QWebSocket>
#include <gtest/gtest.h>
#include <memory>

#include "DeviceLock.h"
#include "EventLoop.h"
#include "LiveChannel.h"
#include "LiveState.h"
#include "SimulatedBridge.h"

using namespace std::chrono_literals;
using test_support::pumpUntil;

namespace {

struct LiveChannel : testing::Test {
    LiveChannel()
    {
        bridge.instrument().setLineObserver([this](std::string_view line) { received.emplace_back(line); });
        session.open(0);
        channel.setControlAllowed(true);
        port = channel.listenOnLoopback();
    }

    // A viewer that keeps the latest value of each setting it was told. The
    // socket goes first, while what its signals write to is still there.
    struct Viewer {
        std::map<QString, QJsonValue> values;
        QString closeReason;
        QWebSocket socket;
    };
    std::unique_ptr<Viewer> viewer(const QString& token = {})
    {
        auto viewer = std::make_unique<Viewer>();
        auto* v = viewer.get();
        QObject::connect(&v->socket, &QWebSocket::textMessageReceived, [v](const QString& text) {
            const QJsonObject message = QJsonDocument::fromJson(text.toUtf8()).object();
            if (message["type"] == "setting")
                v->values[message["name"].toString()] = message["value"];
        });
        QObject::connect(&v->socket, &QWebSocket::disconnected, [v] { v->closeReason = v->socket.closeReason(); });
        v->socket.open(QUrl(QString("ws://127.0.0.1:%1/ws?token=%2").arg(port).arg(token)));
        EXPECT_TRUE(pumpUntil([v] { return v->socket.state() != QAbstractSocket::ConnectingState; }, 10s));
        return viewer;
    }
    static QString set(const QString& token, const QString& name, double value)
    {
        return QJsonDocument(QJsonObject { { "type", "set" }, { "token", token }, { "name", name }, { "value", value } })
            .toJson(QJsonDocument::Compact);
    }
    std::size_t sentToInstrument(std::string_view prefix) const
    {
        return std::count_if(received.begin(), received.end(), [prefix](const std::string& line) { return line.starts_with(prefix); });
    }

    sim::SimulatedBridge bridge;
    session::InstrumentSession session { bridge, [] { QCoreApplication::processEvents(); } };
    remote::LiveState state { session };
    remote::LiveChannel channel { session, state, remote::LiveChannel::newToken() };
    quint16 port = 0;
    std::vector<std::string> received;
};

// Each frame is refused, or sent as one line; one sent while a VXI-11 link
// holds the lock waits for its release.
TEST_F(LiveChannel, SendsOnlyTheTokensHoldersChangesAndThoseOnlyWhileNoLinkHoldsTheLock)
{
    auto holder = viewer(channel.token());
    auto stranger = viewer();
    remote::DeviceLock lock;
    channel.holdBackWhile(lock);
    std::vector<std::string> lines; // the session's, notes among them
    session.addLineObserver([&lines](auto, const std::string& line, const std::string&) { lines.push_back(line); });
    const struct {
        const char* what;
        Viewer& from;
        QString frame;
        bool binary;
        const char* sent = nullptr; // the line the instrument receives; none: refused
        bool locked = false;
    } rows[] = {
        // First, so that the note of the wait is the channel's first.
        { "while a link holds the lock", *holder, set(channel.token(), "MODulator:IATTenuator", 5), false, ":MOD:IATT 5",
            true },
        { "not JSON", *holder, "{\"type\":\"set\",", false },
        { "a binary frame", *holder, "set", true },
        { "no such setting", *holder, set(channel.token(), "MODulator:NOPE", 3), false },
        { "beyond the range", *holder, set(channel.token(), "MODulator:IATTenuator", 128), false },
        { "a fraction", *holder, set(channel.token(), "MODulator:IATTenuator", 2.5), false },
        { "a wrong token", *holder, set("0000", "MODulator:IATTenuator", 3), false },
        { "a forged token from a viewer without it", *stranger, set(channel.token(), "MODulator:IATTenuator", 3), false },
        { "the token's holder", *holder, set(channel.token(), "MODulator:IATTenuator", 3), false, ":MOD:IATT 3" },
    };
    int refused = channel.refusals();
    for (const auto& row : rows) {
        const std::size_t sent = sentToInstrument(":MOD:IATT");
        if (row.locked)
            lock.acquire(1, 0ms, [](auto) {});
        row.binary ? row.from.socket.sendBinaryMessage(row.frame.toUtf8()) : row.from.socket.sendTextMessage(row.frame);
        if (row.locked) {
            ASSERT_TRUE(pumpUntil([&] { return !lines.empty() && lines.back().ends_with("holds the lock"); }, 5s));
            QCoreApplication::processEvents(); // a change queued as it came would be sent by now
            EXPECT_EQ(sentToInstrument(":MOD:IATT"), sent) << row.what;
            lock.release(1);
        }
        const auto done = [&] { return row.sent ? sentToInstrument(row.sent) == 1 : channel.refusals() == refused + 1; };
        EXPECT_TRUE(pumpUntil(done, 5s)) << row.what;
        EXPECT_EQ(sentToInstrument(":MOD:IATT"), sent + (row.sent ? 1 : 0)) << row.what;
        refused = channel.refusals();
    }
    EXPECT_TRUE(pumpUntil([&] { return stranger->values["MODulator:IATTenuator"] == 3; }, 5s)) << "the other viewer follows";
    channel.setControlAllowed(false);
    holder->socket.sendTextMessage(set(channel.token(), "MODulator:IATTenuator", 4));
    EXPECT_TRUE(pumpUntil([&] { return channel.refusals() == refused + 1; }, 5s)) << "after control was withdrawn";
}

TEST_F(LiveChannel, AFloodOfChangesCostsFewMessages)
{
    auto holder = viewer(channel.token());
    for (int i = 1; i <= 10000; ++i)
        holder->socket.sendTextMessage(set(channel.token(), "MODulator:IOFFset", i));
    ASSERT_TRUE(pumpUntil([&] { return bridge.instrument().value(":MOD:IOFF") == 10000; }, 30s));
    EXPECT_LT(sentToInstrument(":MOD:IOFF "), 1000u) << "one message per change, not per turn";
}

TEST_F(LiveChannel, AViewerThatNeverReadsHoldsNobodyUp)
{
    QTcpSocket stalled;
    stalled.connectToHost(QHostAddress::LocalHost, port);
    stalled.write(QByteArray("GET /ws HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                             "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n"));
    ASSERT_TRUE(pumpUntil([&] { return channel.viewers() == 1; }, 5s));
    stalled.setReadBufferSize(1);
    auto reader = viewer();
    for (int i = 1; i <= 20000; ++i)
        session.send(":MOD:IOFF " + std::to_string(i));
    ASSERT_TRUE(pumpUntil([&] { return reader->values["MODulator:IOFFset"] == 20000; }, 30s));
    EXPECT_LE(channel.largestBacklog(), 2 * remote::LiveChannel::SendBound);
}

TEST_F(LiveChannel, RefusesAViewerBeyondTheBound)
{
    std::vector<std::unique_ptr<Viewer>> viewers;
    for (int i = 0; i < remote::LiveChannel::MaxViewers; ++i)
        viewers.push_back(viewer());
    ASSERT_TRUE(pumpUntil([&] { return channel.viewers() == remote::LiveChannel::MaxViewers; }, 10s));
    auto late = viewer();
    ASSERT_TRUE(pumpUntil([&] { return !late->closeReason.isEmpty(); }, 10s));
    EXPECT_EQ(late->closeReason, "At most 32 viewers watch the panel at once");
}

} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
