// The panel's VXI-11 server, call by call, through a plain RPC client of the
// test's own over TCP, on the in-process simulator: each call's answer,
// and every line that reached the instrument (or was refused) meanwhile.

#include <QTcpSocket>
#include <QtEndian>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "RemoteStatus.h"
#include "SimulatedBridge.h"
#include "Version.h"
#include "Vxi11Server.h"
#include "EventLoop.h"
#include "PanelHarness.h"
#include "VanishedClients.h"

using namespace std::chrono_literals;
using namespace test_support;

namespace {

const std::string Identity = std::string("R6140K Simulator,R6140K,SIM00001,") + app::VersionText;

// XDR as RFC 4506 writes it, independent of the server's own code.
struct Xdr {
    QByteArray bytes;
    Xdr& u32(uint32_t value)
    {
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char(value >> shift));
        return *this;
    }
    Xdr& opaque(const std::string& data)
    {
        u32(uint32_t(data.size()));
        bytes.append(data.data(), qsizetype(data.size()));
        bytes.append((4 - data.size() % 4) % 4, '\0');
        return *this;
    }
};

constexpr uint32_t Core = 0x0607AF, Abort = 0x0607B0;
constexpr uint32_t CreateLink = 10, Write = 11, Read = 12, ReadStb = 13, Trigger = 14, Clear = 15, Lock = 18,
                   Unlock = 19, Docmd = 22, DestroyLink = 23;
constexpr uint32_t End = 0x08, TermCharSet = 0x80, ReasonCount = 1, ReasonChar = 2, ReasonEnd = 4;
constexpr uint32_t Success = 0, ProgramUnavailable = 1, ProgramMismatch = 2, ProcedureUnavailable = 3, GarbageArguments = 4;
// Stands for the n-th link the server made in calls and answers: the server
// draws link ids at random.
constexpr uint32_t linkWord(uint32_t n)
{
    return 0x4C1D0000 + n;
}
constexpr uint32_t Link = linkWord(1); // the fixture's own link, the first the server makes

// The ids the server gave, in the order it made the links.
std::vector<uint32_t>& madeLinks()
{
    static std::vector<uint32_t> ids;
    return ids;
}

QByteArray word(uint32_t value)
{
    return Xdr().u32(value).bytes;
}
// Stands for the abort channel's port in an expected answer.
constexpr uint32_t AbortPortWord = 0xAB0A7F00;

Xdr createLinkTo(const std::string& device, bool lock = false, uint32_t lockTimeout = 0)
{
    return Xdr().u32(1234).u32(lock).u32(lockTimeout).opaque(device);
}
Xdr write(const std::string& data, uint32_t flags = End, uint32_t link = Link)
{
    return Xdr().u32(link).u32(1000).u32(0).u32(flags).opaque(data);
}
Xdr read(uint32_t requestSize = 1000, uint32_t flags = 0, char termChar = 0, uint32_t ioTimeout = 50, uint32_t link = Link)
{
    return Xdr().u32(link).u32(requestSize).u32(ioTimeout).u32(0).u32(flags).u32(uint32_t(termChar));
}
Xdr generic(uint32_t link = Link)
{
    return Xdr().u32(link).u32(0).u32(0).u32(1000);
}
Xdr lockFor(uint32_t lockTimeout, uint32_t link = Link)
{
    return Xdr().u32(link).u32(0).u32(lockTimeout);
}
Xdr linkOnly(uint32_t link = Link)
{
    return Xdr().u32(link);
}
Xdr error(uint32_t code)
{
    return Xdr().u32(code);
}
Xdr written(uint32_t size)
{
    return Xdr().u32(0).u32(size);
}
Xdr readOut(uint32_t reason, const std::string& data)
{
    return Xdr().u32(0).u32(reason).opaque(data);
}
Xdr readFailure(uint32_t code)
{
    return Xdr().u32(code).u32(0).opaque("");
}

// One call and the answer it must get: the accept status and the results.
struct Step {
    uint32_t procedure;
    Xdr arguments;
    Xdr answer;
    uint32_t status = Success;
    uint32_t program = Core;
    uint32_t version = 1;
};

// A client over one TCP connection, one call at a time.
class RpcClient {
public:
    explicit RpcClient(quint16 port, const QHostAddress& from = QHostAddress::LocalHost)
    {
        socket_.bind(from);
        socket_.connectToHost(QHostAddress::LocalHost, port);
        EXPECT_TRUE(pumpUntil([this] { return socket_.state() == QAbstractSocket::ConnectedState; }));
    }

    // The reply from the accept status on.
    QByteArray call(const Step& step)
    {
        sendCall(step);
        return reply();
    }

    void sendCall(const Step& step, qsizetype fragmentBytes = 0x7FFFFFFF)
    {
        Xdr message;
        message.u32(++xid_).u32(0).u32(2).u32(step.program).u32(step.version).u32(step.procedure);
        message.u32(0).u32(0).u32(0).u32(0); // credentials and verifier: none
        QByteArray arguments = step.arguments.bytes;
        for (std::size_t i = 0; i < madeLinks().size(); ++i)
            arguments.replace(word(linkWord(uint32_t(i + 1))), word(madeLinks()[i]));
        message.bytes += arguments;
        procedure_ = step.procedure;
        sendRecord(message.bytes, fragmentBytes);
    }

    // As fragments of the given size but the last.
    void sendRecord(const QByteArray& payload, qsizetype fragmentBytes = 0x7FFFFFFF)
    {
        for (qsizetype at = 0; at < payload.size(); at += fragmentBytes) {
            const QByteArray fragment = payload.mid(at, fragmentBytes);
            const bool last = at + fragment.size() == payload.size();
            socket_.write(Xdr().u32((last ? 0x80000000u : 0) | uint32_t(fragment.size())).bytes + fragment);
        }
    }

    bool closedByServer()
    {
        return pumpUntil([this] { return socket_.state() == QAbstractSocket::UnconnectedState; });
    }

    QTcpSocket& socket() { return socket_; }

    QByteArray reply()
    {
        if (!pumpUntil([this] { return wholeRecord(); }, std::chrono::seconds(10)))
            return "no reply";
        const QByteArray record = socket_.read(4 + (recordLength() & 0x7FFFFFFF));
        // xid, REPLY, MSG_ACCEPTED, verifier (flavour, length): then the status.
        const QByteArray header = Xdr().u32(xid_).u32(1).u32(0).u32(0).u32(0).bytes;
        if (record.mid(4, header.size()) != header)
            return "bad header " + record.toHex();
        QByteArray answer = record.mid(4 + header.size());
        if (procedure_ == CreateLink && answer.startsWith(word(0) + word(0)) && answer.size() >= 12)
            madeLinks().push_back(qFromBigEndian<uint32_t>(answer.constData() + 8));
        for (std::size_t i = 0; i < madeLinks().size(); ++i)
            answer.replace(word(madeLinks()[i]), word(linkWord(uint32_t(i + 1))));
        return answer;
    }
private:
    uint32_t recordLength()
    {
        const QByteArray head = socket_.peek(4);
        return uint32_t(uchar(head[0])) << 24 | uint32_t(uchar(head[1])) << 16 | uint32_t(uchar(head[2])) << 8 | uchar(head[3]);
    }
    bool wholeRecord() { return socket_.bytesAvailable() >= 4 && socket_.bytesAvailable() >= 4 + (recordLength() & 0x7FFFFFFF); }

    QTcpSocket socket_;
    uint32_t xid_ = 0;
    uint32_t procedure_ = 0;
};

// The simulator on a bridge whose writes fail once told to, as an unplugged
// one's do.
struct FailingSimulator : sim::SimulatedBridge {
    bool writesFail = false;
    usblink::FT_STATUS FT_Write(usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        return writesFail ? usblink::FT_IO_ERROR : sim::SimulatedBridge::FT_Write(handle, buffer, count, written);
    }
};

struct ServedOverVxi11 {
    FailingSimulator simulator;
    PanelHarness panel { simulator };
    std::chrono::milliseconds now {}; // the client slots' clock
    remote::ClientSlots clientSlots { [this] { return now; } };
    remote::Vxi11Server server { panel.session, clientSlots };
    std::vector<std::string> traffic;

    ServedOverVxi11()
    {
        madeLinks().clear();
        EXPECT_TRUE(panel.startUpOn(std::string(sim::SimulatedBridge::Description) + " " + sim::SimulatedBridge::SerialNumber));
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost)) << server.errorString().toStdString();
        panel.session.addLineObserver([this](auto direction, const std::string& line, const std::string&) {
            using Direction = session::InstrumentSession::Direction;
            traffic.push_back((direction == Direction::Sent ? "sent " : direction == Direction::Refused ? "refused " : "received ") + line);
        });
    }

    QByteArray expected(const Step& step) const
    {
        QByteArray answer = Xdr().u32(step.status).bytes + step.answer.bytes;
        const QByteArray marker = Xdr().u32(AbortPortWord).bytes;
        return answer.replace(marker, Xdr().u32(server.abortPort()).bytes);
    }
};

// A row: calls made on a fresh link, one after another, each with the answer
// it must get, and the lines the instrument sees meanwhile.
struct CallRow {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> traffic;
};

void PrintTo(const CallRow& row, std::ostream* out)
{
    *out << row.name;
}

const std::string LongMessage(300, 'X');

const CallRow CallRows[] = {
    { "CreateLinkNamesInst0InAnyCase", { { CreateLink, createLinkTo("INST0"), Xdr().u32(0).u32(linkWord(2)).u32(AbortPortWord).u32(1024) } }, {} },
    { "CreateLinkToAnotherDeviceIsRefused", { { CreateLink, createLinkTo("inst1"), Xdr().u32(3).u32(0).u32(0).u32(0) } }, {} },
    { "AQueryIsReadWithItsLineFeedAndEnd",
        { { Write, write("*IDN?\n"), written(6) }, { Read, read(), readOut(ReasonEnd, Identity + "\n") } },
        { "sent *IDN?", "received " + Identity } },
    { "WritesWithoutEndAreJoined",
        { { Write, write(":MOD:IATT 4", 0), written(11) }, { Write, write("1\r\n"), written(3) },
            { Write, write(":mod:iatt?"), written(10) }, { Read, read(), readOut(ReasonEnd, "41\n") } },
        { "sent :MOD:IATT 41", "sent :mod:iatt?", "received 41" } },
    { "AReplyLongerThanTheRequestComesInPieces",
        { { Write, write("*IDN?"), written(5) }, { Read, read(10), readOut(ReasonCount, Identity.substr(0, 10)) },
            { Read, read(), readOut(ReasonEnd, Identity.substr(10) + "\n") } },
        { "sent *IDN?", "received " + Identity } },
    { "AReadEndsAtATerminationCharacterBeforeTheEndWithoutEnd",
        { { Write, write("*IDN?"), written(5) }, { Read, read(1000, TermCharSet, ','), readOut(ReasonChar, "R6140K Simulator,") },
            { Read, read(), readOut(ReasonEnd, Identity.substr(17) + "\n") } },
        { "sent *IDN?", "received " + Identity } },
    { "ANewMessageMakesTheUnreadReplyStale",
        { { Write, write("*IDN?"), written(5) }, { Write, write(":MOD:IATT 4"), written(11) }, { Read, read(), readFailure(15) } },
        { "sent *IDN?", "received " + Identity, "sent :MOD:IATT 4" } },
    { "AReadEndsAtTheTerminationCharacter",
        { { Write, write(":MOD:QATT 3;:MOD:QATT?"), written(22) },
            { Read, read(1000, TermCharSet, '\n'), readOut(ReasonEnd | ReasonChar, "3\n") } },
        { "sent :MOD:QATT 3;:MOD:QATT?", "received 3" } },
    { "AReadWithoutAQueryTimesOut", { { Read, read(), readFailure(15) } }, {} },
    { "AnUnansweredQueryIsATimeOutNotText", { { Write, write(":OUTPut?"), written(8) }, { Read, read(), readFailure(15) } },
        { "sent :OUTPut?", "received READ TIMEOUT" } },
    { "AMessageBeyondTheCommandBufferIsNotSent", { { Write, write(LongMessage + "?"), error(5).u32(0) } }, {} },
    { "AnOversizeMessageInPiecesIsDroppedToItsEnd",
        { { Write, write(LongMessage.substr(0, 200), 0), written(200) }, { Write, write(LongMessage.substr(0, 100), 0), error(5).u32(0) },
            { Write, write("1"), error(5).u32(0) }, { Write, write("*IDN?"), written(5) } },
        { "sent *IDN?", "received " + Identity } },
    { "AMessageWithAControlCharacterIsRefused", { { Write, write("A\x01?"), error(5).u32(0) } }, { "refused A\x01?" } },
    { "ClearDropsThePendingReply",
        { { Write, write("*IDN?"), written(5) }, { Clear, generic(), error(0) }, { Read, read(), readFailure(15) } },
        { "sent *IDN?", "received " + Identity } },
    { "TheStatusByteTellsOfAPendingReply",
        { { ReadStb, generic(), Xdr().u32(0).u32(0) }, { Write, write("*IDN?"), written(5) },
            { ReadStb, generic(), Xdr().u32(0).u32(0x10) } },
        { "sent *IDN?", "received " + Identity } },
    { "UnlockWithoutTheLockIsRefused",
        { { Lock, lockFor(0), error(0) }, { Unlock, linkOnly(), error(0) }, { Unlock, linkOnly(), error(12) } }, {} },
    { "UnsupportedOperations", { { Trigger, generic(), error(8) }, { Docmd, Xdr().u32(Link).u32(0).u32(0).u32(0).u32(0x20000).u32(0).u32(0).opaque(""), Xdr().u32(8).opaque("") } }, {} },
    { "AnUnknownLinkIsInvalid", { { Write, write("*IDN?", End, 99), error(4).u32(0) } }, {} },
    { "ADestroyedLinkIsGone", { { DestroyLink, linkOnly(), error(0) }, { Write, write("*IDN?"), error(4).u32(0) } }, {} },
    { "TheNullProcedureAnswersNothing", { { 0, Xdr(), Xdr() } }, {} },
    { "AnUnknownProcedureIsUnavailable", { { 21, Xdr(), Xdr(), ProcedureUnavailable }, { 1, linkOnly(), Xdr(), ProcedureUnavailable } }, {} },
    { "AnotherVersionIsAMismatch", { { Write, write("*IDN?"), Xdr().u32(1).u32(1), ProgramMismatch, Core, 2 } }, {} },
    { "AnotherProgramIsUnavailable",
        { { 3, Xdr(), Xdr(), ProgramUnavailable, 100000 }, { 1, linkOnly(), Xdr(), ProgramUnavailable, Abort } }, {} },
    { "ArgumentsCutShortAreGarbage",
        { { Write, Xdr().u32(Link).u32(1000), Xdr(), GarbageArguments }, { CreateLink, Xdr().u32(1).u32(7).u32(0).opaque("inst0"), Xdr(), GarbageArguments } },
        {} },
};

class Vxi11Call : public testing::TestWithParam<CallRow> { };

TEST_P(Vxi11Call, AnswersAndReachesTheInstrumentAsItShould)
{
    ServedOverVxi11 served;
    RpcClient client(served.server.port());
    ASSERT_EQ(client.call({ CreateLink, createLinkTo("inst0"), {} }).toHex(),
        served.expected({ CreateLink, {}, Xdr().u32(0).u32(Link).u32(AbortPortWord).u32(1024) }).toHex());
    for (const Step& step : GetParam().steps)
        EXPECT_EQ(client.call(step).toHex(), served.expected(step).toHex()) << "procedure " << step.procedure;
    EXPECT_EQ(served.traffic, GetParam().traffic);
    EXPECT_TRUE(served.panel.line.violations.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, Vxi11Call, testing::ValuesIn(CallRows),
    [](const testing::TestParamInfo<CallRow>& info) { return std::string(info.param.name); });

// A setting that cannot go out is an I/O error for its write, never done.
// A query's failure is its read's to tell, never text: a write that failed
// may have gone out in part, so its reply is waited for.
TEST(Vxi11Links, WhatCannotGoOutIsAnIoErrorNeverDoneNorText)
{
    const struct {
        std::function<void(ServedOverVxi11&)> fail;
        Xdr queryWritten;
        Xdr queryRead;
    } rows[] = {
        { [](ServedOverVxi11& served) { served.simulator.writesFail = true; }, written(5), readFailure(15) },
        { [](ServedOverVxi11& served) { served.panel.session.close(); }, error(17).u32(0), readFailure(17) },
    };
    for (const auto& row : rows) {
        ServedOverVxi11 served;
        RpcClient client(served.server.port());
        client.call({ CreateLink, createLinkTo("inst0"), {} });
        row.fail(served);
        EXPECT_EQ(client.call({ Write, write(":MOD:QOFF 1234"), {} }).toHex(), error(17).u32(0).bytes.prepend(4, '\0').toHex());
        EXPECT_EQ(client.call({ Write, write("*IDN?"), {} }).toHex(), QByteArray(row.queryWritten.bytes).prepend(4, '\0').toHex());
        EXPECT_EQ(client.call({ Read, read(), {} }).toHex(), QByteArray(row.queryRead.bytes).prepend(4, '\0').toHex());
        EXPECT_EQ(served.simulator.instrument().value(":MOD:QOFF"), 0) << "nothing reached the instrument";
    }
}

TEST(Vxi11Links, ANinthClientIsOutOfResourcesAndTheStatusSaysSo)
{
    ServedOverVxi11 served;
    remote::RemoteStatus status(served.clientSlots);
    status.watch(served.server);
    // One connection holds at most four links; two take every slot.
    RpcClient first(served.server.port());
    RpcClient second(served.server.port());
    const Step create { CreateLink, createLinkTo("inst0"), {} };
    for (uint32_t link = 1; link <= remote::ClientSlots::Capacity; ++link)
        EXPECT_EQ((link <= 4 ? first : second).call(create).left(12).toHex(), Xdr().u32(0).u32(0).u32(linkWord(link)).bytes.toHex());
    RpcClient third(served.server.port());
    RpcClient fourth(served.server.port());
    EXPECT_EQ(third.call(create).left(8).toHex(), Xdr().u32(0).u32(9).bytes.toHex());
    second.call({ DestroyLink, linkOnly(linkWord(8)), {} });
    EXPECT_EQ(first.call(create).left(8).toHex(), Xdr().u32(0).u32(9).bytes.toHex()) << "a fifth link on one connection";
    EXPECT_EQ(status.text(), "VXI-11 inst0 on 127.0.0.1, 7 links, 2 refused");
    EXPECT_EQ(fourth.call(create).left(8).toHex(), Xdr().u32(0).u32(0).bytes.toHex());
    EXPECT_EQ(status.text(), "VXI-11 inst0 on 127.0.0.1, 8 links");

    // A minute later the connection idle longest makes room for a new client.
    served.now = 30s;
    for (RpcClient* active : { &first, &fourth })
        active->call({ 0, Xdr(), Xdr() });
    served.now = 91s;
    RpcClient fifth(served.server.port());
    EXPECT_EQ(fifth.call(create).left(8).toHex(), Xdr().u32(0).u32(0).bytes.toHex());
    EXPECT_TRUE(second.closedByServer());
    EXPECT_EQ(status.text(), "VXI-11 inst0 on 127.0.0.1, 6 links");
    remote::Vxi11Server elsewhere(served.panel.session, served.clientSlots);
    EXPECT_FALSE(elsewhere.listen(QHostAddress("192.0.2.1"))) << "an address of no interface here";
}

TEST(Vxi11Links, TheAbortChannelEndsAWaitingReadAndAGoneLinkReleasesTheLock)
{
    ServedOverVxi11 served;
    RpcClient holder(served.server.port());
    RpcClient reader(served.server.port());
    RpcClient aborter(served.server.abortPort());
    holder.call({ CreateLink, createLinkTo("inst0"), {} });
    reader.call({ CreateLink, createLinkTo("inst0"), {} });
    EXPECT_EQ(holder.call({ Lock, lockFor(0), {} }).toHex(), Xdr().u32(0).u32(0).bytes.toHex());
    for (const auto& [port, connections] : { std::pair(served.server.port(), 2), std::pair(served.server.abortPort(), 1) })
        EXPECT_THAT(secondsHeldForVanishedClients(port),
            testing::AllOf(testing::SizeIs(connections), testing::Each(testing::Le(60))));
    RpcClient stranger(served.server.abortPort(), QHostAddress("127.0.0.2"));
    EXPECT_EQ(stranger.call({ 1, linkOnly(linkWord(2)), {}, Success, Abort }).toHex(), Xdr().u32(0).u32(4).bytes.toHex())
        << "another host's abort is taken for no link";
    reader.sendCall({ Read, read(1000, 0, 0, 60000, linkWord(2)), {} });
    EXPECT_EQ(aborter.call({ 1, linkOnly(linkWord(2)), {}, Success, Abort }).toHex(), Xdr().u32(0).u32(0).bytes.toHex());
    EXPECT_EQ(reader.reply().toHex(), Xdr().u32(0).u32(23).u32(0).u32(0).bytes.toHex());
    holder.socket().abort();
    EXPECT_EQ(reader.call({ Lock, lockFor(0, linkWord(2)), {} }).toHex(), Xdr().u32(0).u32(0).bytes.toHex()) << "the lock went with its link";
}

// Every call that names a link, from a connection that did not create it,
// finds no such link (the abort channel's is in TheAbortChannel… below).
TEST(Vxi11Links, ALinkIsOnlyItsOwnConnections)
{
    ServedOverVxi11 served;
    RpcClient owner(served.server.port());
    owner.call({ CreateLink, createLinkTo("inst0"), {} });
    RpcClient other(served.server.port());
    for (const Step& step : std::vector<Step> { { Write, write("*IDN?"), {} }, { Read, read(), {} },
             { ReadStb, generic(), {} }, { Trigger, generic(), {} }, { Clear, generic(), {} }, { 16, generic(), {} },
             { 17, generic(), {} }, { Lock, lockFor(0), {} }, { Unlock, linkOnly(), {} },
             { 20, Xdr().u32(Link).u32(1).opaque(""), {} },
             { Docmd, Xdr().u32(Link).u32(0).u32(0).u32(0).u32(0x20000).u32(0).u32(0).opaque(""), {} },
             { DestroyLink, linkOnly(), {} } })
        EXPECT_EQ(other.call(step).left(8).toHex(), error(4).bytes.prepend(4, '\0').toHex()) << "procedure " << step.procedure;
    EXPECT_EQ(owner.call({ Write, write("*IDN?"), {} }).toHex(), written(5).bytes.prepend(4, '\0').toHex());
    EXPECT_EQ(served.traffic, (std::vector<std::string> { "sent *IDN?", "received " + Identity }));
}

TEST(Vxi11Links, ARecordBeyondTheBoundOrNoCallEndsTheConnection)
{
    ServedOverVxi11 served;
    for (const QByteArray& record : { QByteArray(64 * 1024 + 1, 'x'), Xdr().u32(7).u32(1).bytes }) {
        RpcClient client(served.server.port());
        client.sendRecord(record);
        EXPECT_TRUE(client.closedByServer());
    }
    RpcClient fragmented(served.server.port());
    fragmented.sendCall({ CreateLink, createLinkTo("inst0" + std::string(70 * 1024, '\0')), {} }, 32 * 1024);
    EXPECT_TRUE(fragmented.closedByServer()) << "the bound holds for the record, not each fragment";
    RpcClient stalled(served.server.port());
    stalled.socket().write(word(0x80000000u | 100) + QByteArray(10, 'x'));
    EXPECT_TRUE(stalled.closedByServer()) << "a record left unfinished";
    EXPECT_TRUE(served.traffic.empty());
}

// Idle connections to the abort channel take only its own few, never the
// core channel's; each one refused is counted.
TEST(Vxi11Links, IdleAbortConnectionsTakeOnlyTheirOwnFewAndEachRefusalIsCounted)
{
    ServedOverVxi11 served;
    remote::RemoteStatus status(served.clientSlots);
    status.watch(served.server);
    std::vector<std::unique_ptr<RpcClient>> idle;
    for (int i = 0; i <= remote::Vxi11Server::MaxAbortConnections; ++i)
        idle.push_back(std::make_unique<RpcClient>(served.server.abortPort()));
    EXPECT_TRUE(idle.back()->closedByServer());
    EXPECT_EQ(status.text(), "VXI-11 inst0 on 127.0.0.1, no link, 1 refused");
    RpcClient client(served.server.port());
    EXPECT_EQ(client.call({ CreateLink, createLinkTo("inst0"), {} }).left(8).toHex(), Xdr().u32(0).u32(0).bytes.toHex());
    EXPECT_EQ(idle.front()->socket().state(), QAbstractSocket::ConnectedState);
}

} // namespace
