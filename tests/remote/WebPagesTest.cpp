// The panel's web server with real clients: curl and xmllint on the LXI
// identification document, raw sockets for what a browser would not send,
// a Python client for a megabyte of header. In a network namespace of the
// test's own, where port 80 and 8080 are the test's.

#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string_view>

#include "ClientRun.h"
#include "LxiIdentification.h"
#include "MemoryInUse.h"
#include "PrivateNetwork.h"
#include "WebServer.h"
#include "WidgetTestRun.h"

using namespace std::chrono_literals;
using namespace test_support;
using remote::InstrumentDescription;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

namespace {

using Kind = InstrumentDescription::Service::Kind;

struct WebPages : testing::Test {
    WebPages()
    {
        QFile style(folder.filePath("style.css"));
        style.open(QIODevice::WriteOnly);
        style.write("body {}");
        style.close();
        EXPECT_TRUE(server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&server, &remote::WebServer::identifyRequested, [this](const QString& peer) { identified << peer; });
        server.setUpgradeHandler([this](QTcpSocket* socket) {
            upgraded << socket->peek(4096);
            socket->deleteLater();
        });
    }

    // What the server answered, once it closed the connection.
    QByteArray exchange(const QByteArray& request)
    {
        QTcpSocket client;
        client.connectToHost(QHostAddress::LocalHost, server.port());
        client.write(request);
        QByteArray answer;
        EXPECT_TRUE(pumpUntil([&] { return (answer += client.readAll()), client.state() == QAbstractSocket::UnconnectedState; }, 5s))
            << request.toStdString();
        return answer + client.readAll();
    }
    QString url(const QString& path) const { return QString("http://127.0.0.1:%1%2").arg(server.port()).arg(path); }

    InstrumentDescription description { "R6140K Simulator,R6140K,SIM00001,2.0.0", "Up",
        { { "VXI-11", QHostAddress::LocalHost, 111, Kind::Vxi11 }, { "SCPI socket", QHostAddress::AnyIPv4, 5025, Kind::Socket } } };
    QTemporaryDir folder;
    remote::WebServer server { QDir(folder.path()), [this] { return description; }, { 16 * 1024, 300ms, 4096 } };
    QStringList identified;
    QByteArrayList upgraded;
};

TEST_F(WebPages, AnswerEachRequestAsItsPathAndMethodAsk)
{
    const struct {
        QByteArray request;
        const char* status;
        const char* holds; // in the head or body
        const char* lacks = "\x01";
    } rows[] = {
        { "GET / HTTP/1.1\r\nHost: h\r\n\r\n", "HTTP/1.1 200", "<code>TCPIP::127.0.0.1::5025::SOCKET</code>" },
        { "GET /?x=1 HTTP/1.1\r\n\r\n", "HTTP/1.1 200", "Content-Security-Policy: default-src 'self'" },
        { "HEAD / HTTP/1.1\r\n\r\n", "HTTP/1.1 200", "Content-Type: text/html", "<html" },
        { "GET /lxi/identification HTTP/1.1\r\n\r\n", "HTTP/1.1 200", "<InstrumentAddressString>TCPIP::127.0.0.1::INSTR<" },
        { "GET /lxi/identification/ HTTP/1.1\r\n\r\n", "HTTP/1.1 404", "No such page" },
        { "GET /style.css HTTP/1.1\r\n\r\n", "HTTP/1.1 200", "Content-Type: text/css" },
        { "GET /../WebPagesTest HTTP/1.1\r\n\r\n", "HTTP/1.1 404", "No such page" },
        { "GET /%2e%2e/etc/passwd HTTP/1.1\r\n\r\n", "HTTP/1.1 404", "No such page" },
        { "GET /identify HTTP/1.1\r\n\r\n", "HTTP/1.1 405", "Allow: POST" },
        { "DELETE / HTTP/1.1\r\n\r\n", "HTTP/1.1 405", "Allow: GET, HEAD" },
        { "POST /identify HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n\r\n", "HTTP/1.1 411", "Content-Length" },
        { "POST /identify HTTP/1.1\r\nContent-Length: 100000\r\n\r\n", "HTTP/1.1 413", "too long" },
        { "POST /identify HTTP/1.1\r\nContent-Length: 3\r\n\r\nx=1", "HTTP/1.1 303", "Location: /" },
        { "GET /ws HTTP/1.1\r\n\r\n", "HTTP/1.1 426", "Upgrade: websocket" },
        { "GET /other HTTP/1.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n\r\n", "HTTP/1.1 404", "No such page" },
        { "GET / HTTP/1.1\r\n folded\r\n\r\n", "HTTP/1.1 400", "Not an HTTP" },
        { "\x16\x03\x01 hello\r\n\r\n", "HTTP/1.1 400", "Not an HTTP" },
    };
    for (const auto& row : rows) {
        const std::string answer = exchange(row.request).toStdString();
        EXPECT_THAT(answer, StartsWith(row.status)) << row.request.toStdString();
        EXPECT_THAT(answer, HasSubstr(row.holds)) << row.request.toStdString();
        EXPECT_THAT(answer, Not(HasSubstr(row.lacks))) << row.request.toStdString();
    }
    EXPECT_EQ(identified.size(), 1) << "only the whole POST identifies";
    EXPECT_TRUE(upgraded.isEmpty());
}

TEST_F(WebPages, AWebSocketRequestGoesOnWithItsHandshakeUnread)
{
    const QByteArray handshake = "GET /ws HTTP/1.1\r\nHost: h\r\nUpgrade: websocket\r\nConnection: keep-alive, Upgrade\r\n"
                                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.port());
    client.write(handshake);
    ASSERT_TRUE(pumpUntil([&] { return !upgraded.isEmpty(); }, 5s));
    EXPECT_EQ(upgraded.front(), handshake);
}

// Bounded however the client sends: a megabyte of header is refused (or
// the connection closed) with the memory of the head's bound at most; a
// client that drips its head is answered once the head's time is up; one
// more than the connections served at once is told so at once.
const char* MegabyteHeader = R"(
import socket, sys
s = socket.create_connection(('127.0.0.1', int(sys.argv[1])))
try:
    s.sendall(b'GET / HTTP/1.1\r\nX-Filler: ' + b'a' * (1 << 20) + b'\r\n\r\n')
except OSError:
    pass
answer = b''
try:
    while chunk := s.recv(4096):
        answer += chunk
except OSError:
    pass
print(answer.split(b'\r\n')[0].decode() or 'closed')
)";

TEST_F(WebPages, HostileClientsHoldBoundedMemoryTimeAndConnections)
{
    const long before = memoryInUseKilobytes();
    const std::string status = runClient("/usr/bin/python3", { "-c", MegabyteHeader, QString::number(server.port()) });
    EXPECT_THAT((std::vector<std::string> { "HTTP/1.1 431 Request Header Fields Too Large", "closed" }), testing::Contains(status));
    EXPECT_LT(memoryInUseKilobytes() - before, 512) << "the server read far past its bound";

    std::vector<std::unique_ptr<QTcpSocket>> drips;
    QByteArrayList answers(remote::WebServer::MaxConnections + 1);
    for (int i = 0; i <= remote::WebServer::MaxConnections; ++i) {
        drips.push_back(std::make_unique<QTcpSocket>());
        drips.back()->connectToHost(QHostAddress::LocalHost, server.port());
        ASSERT_TRUE(drips.back()->waitForConnected(5000));
        drips.back()->write("GET / HTTP/1.1\r\nX-Drip: 1\r\n");
    }
    ASSERT_TRUE(pumpUntil([&] {
        bool closed = true;
        for (std::size_t i = 0; i < drips.size(); ++i) {
            answers[i] += drips[i]->readAll();
            closed &= drips[i]->state() == QAbstractSocket::UnconnectedState;
        }
        return closed;
    }, 5s)) << "a dripping client held its connection past the head's time";
    EXPECT_EQ(std::ranges::count_if(answers, [](const QByteArray& a) { return a.startsWith("HTTP/1.1 408"); }),
        remote::WebServer::MaxConnections);
    EXPECT_EQ(std::ranges::count_if(answers, [](const QByteArray& a) { return a.startsWith("HTTP/1.1 503"); }), 1);
    EXPECT_THAT(exchange("GET / HTTP/1.1\r\n\r\n").toStdString(), StartsWith("HTTP/1.1 200")) << "served again after";
}

// Through curl and xmllint: the document's root and every element LXI
// clients read, in the identification namespace, in the schema's order;
// the instrument's texts as they are, markup included, never as markup.
TEST_F(WebPages, TheIdentificationDocumentHasEveryElementInItsNamespace)
{
    description.identity = "<script>alert(1)</script>,M&1 \"x\",SN\x01 7,1.0,beta";
    const QString ns = remote::LxiIdentificationNamespace;
    const auto in = [&](const QString& name) { return QString("*[local-name()='%1' and namespace-uri()='%2']").arg(name, ns); };
    const auto xpath = [&](const QString& expression) {
        return runClient("sh", { "-c", "curl -sf \"$0\" | xmllint --xpath \"$1\" -", url("/lxi/identification"), expression });
    };
    const QString device = "/" + in("LXIDevice") + "/";
    const auto services = description.services;
    const struct {
        QString expression;
        std::string value;
        bool webAlone = false; // no service but the web pages
    } rows[] = {
        { "string(" + device + in("Manufacturer") + ")", "<script>alert(1)</script>" },
        { "string(" + device + in("Model") + ")", "M&1 \"x\"" },
        { "string(" + device + in("SerialNumber") + ")", "SN 7" },
        { "string(" + device + in("FirmwareRevision") + ")", "1.0,beta" },
        { "string(" + device + in("HomepageURL") + ")", url("/").toStdString() },
        { "string(" + device + in("IdentificationURL") + ")", url("/lxi/identification").toStdString() },
        { "count(" + device + in("ManufacturerDescription") + ")", "1" },
        { "count(" + device + in("DriverURL") + ")", "1" },
        { "count(" + device + in("LXIVersion") + ")", "1" },
        { "count(" + device + in("Interface") + ")", "2" },
        { "string(" + device + in("Interface") + "[1]/" + in("InstrumentAddressString") + ")", "TCPIP::127.0.0.1::INSTR" },
        { "string(" + device + in("Interface") + "[2]/" + in("InstrumentAddressString") + ")", "TCPIP::127.0.0.1::5025::SOCKET" },
        { "string(" + device + in("Interface") + "[2]/" + in("IPAddress") + ")", "127.0.0.1" },
        { "count(" + device + in("Interface") + ")", "1", true },
        { "string(" + device + in("Interface") + "/" + in("InstrumentAddressString") + ")", url("/").toStdString(), true },
    };
    for (const auto& row : rows) {
        description.services = row.webAlone ? decltype(services) {} : services;
        EXPECT_EQ(xpath(row.expression), row.value) << row.expression.toStdString();
    }
    description.services = services;

    QStringList order;
    QXmlStreamReader reader(exchange("GET /lxi/identification HTTP/1.1\r\n\r\n").split('\n').mid(8).join('\n'));
    for (int depth = 0; !reader.atEnd();)
        if (const auto token = reader.readNext(); token == QXmlStreamReader::StartElement && ++depth == 2)
            order << reader.name().toString();
        else if (token == QXmlStreamReader::EndElement)
            --depth;
    EXPECT_EQ(order.join(' '), "Manufacturer Model SerialNumber FirmwareRevision ManufacturerDescription HomepageURL "
                               "DriverURL UserDescription IdentificationURL Interface Interface LXIVersion");
    const std::string page = runClient("curl", { "-sf", url("/") });
    EXPECT_THAT(page, HasSubstr("&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_THAT(page, HasSubstr("M&amp;1 &quot;x&quot;"));
    EXPECT_THAT(page, Not(HasSubstr("<script")));
}

TEST(WebServerPort, EightyElseEightyEightyElseAnyUnlessOneIsNamed)
{
    const QDir folder;
    const auto describe = [] { return InstrumentDescription {}; };
    remote::WebServer first(folder, describe), second(folder, describe), third(folder, describe), named(folder, describe);
    for (auto* server : { &first, &second, &third })
        ASSERT_TRUE(server->listen(QHostAddress::LocalHost, std::nullopt));
    EXPECT_EQ(first.url(), "http://127.0.0.1/");
    EXPECT_EQ(second.url(), "http://127.0.0.1:8080/");
    EXPECT_NE(third.port(), 0);
    EXPECT_EQ(third.status(), QString("Web pages on http://127.0.0.1:%1/").arg(third.port()));
    EXPECT_FALSE(named.listen(QHostAddress::LocalHost, 8080)) << "a port named is that port or none";
}

} // namespace

int main(int argc, char** argv)
{
    if (std::find(argv, argv + argc, std::string_view("--gtest_list_tests")) == argv + argc)
        enterPrivateNetwork();
    return runWidgetTests(argc, argv);
}
