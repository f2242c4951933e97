// Exchanges asked for at awkward moments: while idle, while a query awaits
// its reply, inside an exchange that others must not interleave, from a
// queued exchange, after the session closed, after a reply that came late.
// The instrument answers each query with "re <query>", in order; a query a
// row makes late is answered only with the next line written. The log is
// what the session's observer saw.

#include <chrono>
#include <functional>
#include <set>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "InstrumentSession.h"
#include "LineSync.h"
#include "CheckedBridge.h"
#include "ScriptedBridge.h"

using session::InstrumentSession;
using test_support::CheckedBridge;
using test_support::ScriptedBridge;

namespace {

struct Fixture {
    Fixture()
    {
        bridge.devices = { { "R6140K", "S1" } };
        bridge.respond = [this](const std::string& line) {
            const std::string reply = line.back() == '?' ? "re " + line + "\r\n" : "";
            if (const auto it = late.find(line); it != late.end()) {
                late.erase(it);
                owed += reply;
                return std::string();
            }
            return std::exchange(owed, "") + reply;
        };
        session.addLineObserver(
            [this](InstrumentSession::Direction direction, const std::string& line, const std::string& origin) {
                const std::string by = origin == InstrumentSession::PanelOrigin ? "" : " (" + origin + ")";
                const char* way = direction == InstrumentSession::Direction::Sent ? "> "
                    : direction == InstrumentSession::Direction::Note                ? "note "
                                                                                     : "< ";
                log.push_back(way + line + by);
            });
        session.listDevices();
        session.open(0);
    }

    // Runs the action at the next event point only.
    void atNextEventPoint(std::function<void()> action) { pending = std::move(action); }

    ScriptedBridge bridge;
    std::multiset<std::string> late; // queries whose replies come with the next line written
    std::string owed; // the replies still to come
    CheckedBridge line { bridge };
    std::function<void()> pending;
    std::chrono::milliseconds now { 0 }; // the session's clock, moved on by the rows that look at it
    InstrumentSession session { line,
        [this] {
            if (auto action = std::exchange(pending, nullptr))
                action();
        },
        [this] { return now; } };
    std::vector<std::string> log;
};

struct Interleaving {
    const char* name;
    std::function<void(Fixture&)> act;
    std::vector<std::string> log;
};

void PrintTo(const Interleaving& interleaving, std::ostream* out)
{
    *out << interleaving.name;
}

const Interleaving Interleavings[] = {
    { "QueuedWhileIdleRunsAtOnce",
        [](Fixture& f) {
            f.session.enqueue([&f] { f.session.query("A?"); });
            f.log.push_back("returned");
        },
        { "> A?", "< re A?", "returned" } },
    { "QueuedWhileAReplyIsAwaitedRunsAfterIt",
        [](Fixture& f) {
            f.atNextEventPoint([&f] {
                f.session.enqueue([&f] { f.session.query("B?"); }, "client 1");
                f.session.enqueue([&f] { f.session.send("C 1"); }, "client 2");
            });
            f.session.query("A?");
        },
        { "> A?", "< re A?", "> B? (client 1)", "< re B? (client 1)", "> C 1 (client 2)" } },
    { "AnExclusiveRunIsNotInterleaved",
        [](Fixture& f) {
            f.session.exclusive([&f] {
                f.session.send("S 1");
                f.atNextEventPoint([&f] { f.session.enqueue([&f] { f.session.query("B?"); }); });
                f.session.query("A?");
                f.session.send("T 1");
            });
        },
        { "> S 1", "> A?", "< re A?", "> T 1", "> B?", "< re B?" } },
    { "QueuedFromAQueuedExchangeRunsAfterThoseBefore",
        [](Fixture& f) {
            f.session.exclusive([&f] {
                f.session.enqueue([&f] {
                    f.session.enqueue([&f] { f.session.send("Z 1"); });
                    f.session.query("A?");
                });
                f.session.enqueue([&f] { f.session.send("Y 1"); });
            });
        },
        { "> A?", "< re A?", "> Y 1", "> Z 1" } },
    { "VoidedExchangesReachNothingAndSayWhatWasNotSent",
        [](Fixture& f) {
            f.session.exclusive([&f] {
                f.session.enqueue([&f] { f.log.push_back(f.session.send("Y 1") ? "sent" : "not sent"); }, "client 1");
                f.session.enqueue([&f] { f.log.push_back(f.session.query("B?")); }, "client 2");
                f.log.push_back(std::to_string(f.session.voidQueued()) + " voided");
                f.session.enqueue([&f] { f.session.send("Z 1"); }, "client 3");
            });
        },
        { "2 voided", "note not sent, as it was queued for the instrument that answered before: Y 1 (client 1)",
            "not sent", "note not sent, as it was queued for the instrument that answered before: B? (client 2)",
            "READ ERROR", "> Z 1 (client 3)" } },
    { "ARemovedObserverIsToldNothingMore",
        [](Fixture& f) {
            const auto id = f.session.addLineObserver(
                [&f](InstrumentSession::Direction, const std::string& line, const std::string&) {
                    f.log.push_back("also " + line);
                });
            f.session.query("A?");
            f.session.removeLineObserver(id);
            f.session.send("B 1");
        },
        { "> A?", "also A?", "< re A?", "also re A?", "> B 1" } },
    { "ALostLinkTakesNothingUntilTheDeviceIsOpenedAgain",
        [](Fixture& f) {
            f.bridge.failing = { { "FT_Write", usblink::FT_DEVICE_NOT_FOUND } };
            f.session.send("A 1");
            f.log.push_back(f.session.linkProblem());
            f.session.send("X 1");
            f.session.enqueue([&f] { f.log.push_back(f.session.query("B?")); }, "client 1");
            f.bridge.failing.clear();
            f.log.push_back(f.session.reopen() ? "reopened" : "still down");
            f.session.query("C?");
        },
        { "> A 1", "note link down: The device stopped answering: it was unplugged, or its line failed.",
            "The device stopped answering: it was unplugged, or its line failed.", "READ ERROR",
            "note reconnect: R6140K S1 opened again", "note link up", "reopened", "> C?", "< re C?" } },
    { "AReopenedDeviceIsFoundByItsEntryWhereverItMoved",
        [](Fixture& f) {
            f.bridge.failing = { { "FT_Write", usblink::FT_DEVICE_NOT_FOUND } };
            f.session.send("A 1");
            f.bridge.failing.clear();
            f.bridge.devices.insert(f.bridge.devices.begin(), { "FT232R USB UART", "A1" });
            f.log.push_back(f.session.reopen() ? "reopened" : "still down");
            f.log.push_back("opened index " + f.bridge.callsNamed("FT_Open ").back());
            f.session.query("C?");
        },
        { "> A 1", "note link down: The device stopped answering: it was unplugged, or its line failed.",
            "note reconnect: R6140K S1 opened again", "note link up", "reopened", "opened index 1", "> C?",
            "< re C?" } },
    { "AReplyThatComesLateIsDiscardedBeforeTheNextAskersQuery",
        [](Fixture& f) {
            f.session.query("*IDN?");
            f.late = { "A?" };
            f.log.push_back(f.session.query("A?"));
            f.session.enqueue([&f] { f.log.push_back(f.session.query("B?")); }, "client 2");
        },
        { "> *IDN?", "< re *IDN?", "> A?", "< READ TIMEOUT", "READ TIMEOUT", "> *IDN?", "< re A?", "< re *IDN?",
            "> B? (client 2)", "< re B? (client 2)", "re B?" } },
    { "TwoTimeOutsInARowSilenceTheInstrumentUntilEveryMarkerIsAnswered",
        [](Fixture& f) {
            f.session.query("*IDN?");
            f.late = { "A?", "*IDN?" };
            f.session.query("A?");
            f.session.enqueue([&f] { f.log.push_back(f.session.query("B?")); }, "client 2");
            f.session.send("S 1");
            f.log.push_back(f.session.linkProblem());
            f.log.push_back(f.session.probe() ? "answers" : "silent");
            f.log.push_back(f.session.query("C?"));
        },
        { "> *IDN?", "< re *IDN?", "> A?", "< READ TIMEOUT", "> *IDN?", "< READ TIMEOUT",
            "note link down: The instrument does not answer: its last two queries had no reply. Is it switched on, "
            "and its cable in?",
            "READ TIMEOUT",
            "The instrument does not answer: its last two queries had no reply. Is it switched on, and its cable in?",
            "> *IDN?", "< re A?", "< re *IDN?", "< re *IDN?", "note link up", "answers", "> C?", "< re C?",
            "re C?" } },

    { "AMarkerWhoseAnswerWasLostIsNoLongerAwaitedAfterItsLifetime",
        [](Fixture& f) {
            f.session.query("*IDN?");
            f.late = { "A?", "*IDN?" };
            f.session.query("A?");
            f.session.query("B?");
            f.owed.clear(); // the marker's answer is lost on the line
            f.log.push_back(f.session.probe() ? "answers" : "silent");
            f.now += session::LineSync::MarkerLifetime;
            f.log.push_back(f.session.probe() ? "answers" : "silent");
            f.session.query("C?");
        },
        { "> *IDN?", "< re *IDN?", "> A?", "< READ TIMEOUT", "> *IDN?", "< READ TIMEOUT",
            "note link down: The instrument does not answer: its last two queries had no reply. Is it switched on, and "
            "its cable in?",
            "> *IDN?", "< re *IDN?", "< READ TIMEOUT", "silent", "> *IDN?", "< re *IDN?", "note link up", "answers", "> C?", "< re C?" } },
    { "AnExchangeBegunWhileTheLinkWasUpRunsToItsEnd",
        [](Fixture& f) {
            f.bridge.failing = { { "FT_Write", usblink::FT_DEVICE_NOT_FOUND } };
            f.session.exclusive([&f] {
                f.session.send("S 1");
                f.session.send("T 1");
            });
            f.session.send("U 1");
        },
        { "> S 1", "note link down: The device stopped answering: it was unplugged, or its line failed.", "> T 1" } },
    { "QueuedAheadWaitsOnlyForTheRunningExchange",
        [](Fixture& f) {
            f.atNextEventPoint([&f] {
                f.session.enqueue([&f] { f.session.query("B?"); }, "client 1");
                f.session.enqueueAhead([&f] { f.session.send("P 1"); });
                f.session.enqueue([&f] { f.session.send("C 1"); }, "client 2");
                f.session.enqueueAhead([&f] { f.session.send("P 2"); });
            });
            f.session.enqueue([&f] { f.session.query("A?"); }, "client 2");
        },
        { "> A? (client 2)", "< re A? (client 2)", "> P 1", "> P 2", "> B? (client 1)", "< re B? (client 1)",
            "> C 1 (client 2)" } },
    { "OnlyThePanelsOwnRunsCountAsThePanelsExchange",
        [](Fixture& f) {
            const auto note = [&f] { f.log.push_back(f.session.panelExchangeRunning() ? "panel's" : "not panel's"); };
            f.atNextEventPoint(note);
            f.session.query("A?");
            f.session.enqueue([&f, note] { f.atNextEventPoint(note); f.session.query("B?"); }, "client 1");
            f.session.enqueueAhead([&f, note] { f.atNextEventPoint(note); f.session.send("P 1"); });
            note();
        },
        { "> A?", "panel's", "< re A?", "> B? (client 1)", "not panel's", "< re B? (client 1)", "> P 1",
            "not panel's", "not panel's" } },
    { "TheReplyAwaitedIsKnownByItsQueryAndTheTimeItWasAskedUntilItComes",
        [](Fixture& f) {
            // Told at the start, at event points and at the end of a wait;
            // the same news in a row is logged once.
            f.session.addWaitObserver([&f] {
                const std::string news = f.session.awaitedReply() ? "told: awaiting" : "told: none";
                if (f.log.empty() || f.log.back() != news)
                    f.log.push_back(news);
            });
            const auto noteAwaited = [&f] {
                const auto& awaited = f.session.awaitedReply();
                f.log.push_back(awaited ? awaited->query + " since " + std::to_string(awaited->since.count()) : "none");
            };
            f.now = std::chrono::milliseconds(7000);
            f.atNextEventPoint([&f, noteAwaited] {
                f.now += std::chrono::milliseconds(400);
                noteAwaited();
            });
            f.session.query("A?");
            noteAwaited();
        },
        { "told: awaiting", "> A?", "A? since 7000", "told: awaiting", "< re A?", "told: none", "none" } },
    { "ClosedSendsNothingAndQueriesReadError",
        [](Fixture& f) {
            f.session.close();
            f.session.send("X 1");
            f.log.push_back(f.session.query("A?"));
            f.session.close();
        },
        { "READ ERROR" } },
};

class SessionInterleaving : public testing::TestWithParam<Interleaving> { };

TEST_P(SessionInterleaving, KeepsOneExchangeAtATimeInTheOrderAsked)
{
    Fixture f;
    GetParam().act(f);
    EXPECT_EQ(f.log, GetParam().log);
    std::vector<std::string> reportedSent;
    for (const std::string& entry : f.log)
        if (entry.starts_with("> "))
            reportedSent.push_back(entry.substr(2, entry.find(" (") - 2));
    EXPECT_EQ(f.line.lines, reportedSent) << "the lines written are the lines reported sent";
    EXPECT_THAT(f.line.violations, testing::IsEmpty());
    EXPECT_FALSE(f.session.busy());
    EXPECT_LE(f.line.closed.size(), 1u);
    EXPECT_FALSE(f.pending) << "the action meant for an event point never ran";
}

INSTANTIATE_TEST_SUITE_P(Moments, SessionInterleaving, testing::ValuesIn(Interleavings),
    [](const testing::TestParamInfo<Interleaving>& info) { return std::string(info.param.name); });

} // namespace
