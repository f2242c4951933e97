#include "Options.h"

#include <QCommandLineParser>
#include <QHostAddress>
#include <cstdio>
#include <cstdlib>

#include "DeviceAccess.h"
#include "NetworkBridge.h"

namespace app {

namespace {

constexpr const char* Description
    = "Adjusts the analogue settings of an R6140K I/Q upconverter attached through an FTDI USB-serial bridge.\n"
      "\n"
      "If the instrument's serial port cannot be opened, for lack of permission or otherwise, the panel\n"
      "still comes up, says why on its status line, and every reply reads READ ERROR; --check tells the\n"
      "same without any window. To get access, join the group that owns the port\n"
      "and log in again: plugdev for the instrument's bridge where the r6140k-panel package's udev rule\n"
      "is installed (\"sudo usermod -aG plugdev $USER\", then plug the bridge in again), dialout\n"
      "otherwise (\"sudo usermod -aG dialout $USER\").";

// Qt's own options, which the application object takes out of the arguments
// itself. The options are checked before that object exists, so these are
// known here too, and passed over.
constexpr const char* QtOptionsWithValue[] = { "platform", "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "geometry", "qwindowtitle", "title", "qwindowicon", "icon", "session", "display", "name",
    "style", "stylesheet", "qmljsdebugger" };
constexpr const char* QtFlags[] = { "reverse", "widgetcount", "nograb", "dograb", "sync", "testability" };

void passOverQtOptions(QCommandLineParser& parser)
{
    // Qt's options are words after a single dash, as in "-platform offscreen".
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    const auto addHidden = [&parser](const char* name, const char* valueName) {
        QCommandLineOption option(name, {}, valueName);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    };
    for (const char* name : QtOptionsWithValue)
        addHidden(name, "value");
    for (const char* name : QtFlags)
        addHidden(name, "");
}

[[noreturn]] void failWith(const QString& message)
{
    std::fprintf(stderr, "r6140k-panel: %s\n", qPrintable(message));
    std::exit(2);
}

// [HOST:]PORT, the host an IP address (an IPv6 one in brackets), the loopback
// address when none is named; for an option whose port may be left out, HOST
// alone too. A refusal names the option, the whole value and the forms
// expected.
struct HostAndPort {
    QString host = "127.0.0.1";
    std::optional<uint16_t> port;
};

HostAndPort parseHostAndPort(const QString& option, const QString& text, bool portRequired)
{
    const auto refuse = [&](const QString& why) {
        failWith(option + " " + text + ": " + why
            + (portRequired ? " (expected PORT, HOST:PORT or [IPv6]:PORT, as 5025, 192.168.1.20:5025 or [::1]:5025)"
                            : " (expected HOST, PORT, HOST:PORT or [IPv6]:PORT, as 192.168.1.20, 8080, "
                              "192.168.1.20:8080 or [::1]:8080)"));
    };
    HostAndPort parsed;
    QString port = text;
    bool portNamed = true;
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        const bool followed = text.mid(close + 1, 1) == ":";
        if (close < 0 || (portRequired && !followed) || (!followed && close + 1 != text.size()))
            refuse("an IPv6 address in brackets must be followed by :PORT");
        parsed.host = text.mid(1, close - 1);
        port = text.mid(close + 2);
        portNamed = followed;
    } else if (text.count(':') > 1) {
        refuse("an IPv6 address goes in brackets");
    } else if (const qsizetype colon = text.indexOf(':'); colon >= 0) {
        parsed.host = text.left(colon);
        port = text.mid(colon + 1);
    } else if (!portRequired && text.contains('.')) {
        parsed.host = text;
        portNamed = false;
    }
    if (portNamed) {
        bool isNumber = false;
        const uint number = port.toUInt(&isNumber);
        if (!isNumber || number > 65535)
            refuse("the port must be a number from 0 to 65535");
        parsed.port = static_cast<uint16_t>(number);
    }
    if (QHostAddress(parsed.host).isNull())
        refuse(parsed.host + " is not an IP address");
    return parsed;
}

Options::ListenAddress parseListenAddress(const QString& text)
{
    const HostAndPort parsed = parseHostAndPort("--listen", text, true);
    return { parsed.host.toStdString(), *parsed.port };
}

// --web alone serves on the loopback address, on the first port it may bind.
Options::WebAddress parseWebAddress(const QString& text)
{
    if (text.isEmpty())
        return { "127.0.0.1", std::nullopt };
    const HostAndPort parsed = parseHostAndPort("--web", text, false);
    return { parsed.host.toStdString(), parsed.port };
}

// A network address, or a serial port's path as the system opens it, so
// that the chooser, --check and the open all mean one device.
std::string parsePort(const QString& text)
{
    const std::string port = text.toStdString();
    if (port.empty())
        failWith("--port: the path is empty (give a serial port, such as /dev/ttyUSB0, or tcp://HOST:PORT)");
    if (!usblink::NetworkAddress::looksLikeOne(port))
        return usblink::systemPortPath(port);
    if (!usblink::NetworkAddress::parse(port))
        failWith("bad network port " + text + " (tcp://HOST:PORT or rfc2217://HOST:PORT)");
    return port;
}

constexpr const char* Vxi11Option = "--vxi11";
constexpr const char* WebOption = "--web";

// --vxi11 and --web take a value when one follows them, and a default
// otherwise (the loopback address; for --web, the empty text that stands for
// it); the parser's options take a value always or never, so they are given
// one here.
QStringList withOptionalValues(QStringList arguments)
{
    const std::pair<QString, QString> optional[] = { { Vxi11Option, "127.0.0.1" }, { WebOption, "" } };
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        for (const auto& [option, fallback] : optional) {
            if (arguments[i] != option)
                continue;
            const bool valueFollows = i + 1 < arguments.size() && !arguments[i + 1].startsWith('-');
            arguments[i] = option + '=' + (valueFollows ? arguments.takeAt(i + 1) : fallback);
        }
    }
    return arguments;
}

std::string parseVxi11Host(const QString& host)
{
    if (QHostAddress(host).isNull())
        failWith(QString(Vxi11Option) + " " + host + ": " + host + " is not an IP address");
    return host.toStdString();
}

// Seconds, a fraction allowed, from a tenth of a second to an hour, or 0.
std::chrono::milliseconds parseLockWatch(const QString& text)
{
    bool isNumber = false;
    const double seconds = text.toDouble(&isNumber);
    if (!isNumber || !(seconds == 0 || (seconds >= 0.1 && seconds <= 3600)))
        failWith("--lock-watch " + text + ": give seconds from 0.1 to 3600, or 0 to ask only with each read-back");
    return std::chrono::milliseconds(static_cast<long long>(seconds * 1000 + 0.5));
}

} // namespace

Options parseOptions(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(Description);
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption simulate("simulate", "Use the built-in simulated instrument instead of hardware.");
    const QCommandLineOption backend("backend",
        "How to reach the bridge: serial (the operating system's serial ports, the "
        "default) or d2xx (FTDI's D2XX library).",
        "name", "serial");
    const QCommandLineOption port("port",
        "Offer the serial line at <path> as one more device, \"R6140K <path>\" "
        "(repeatable; a pseudo-terminal of r6140k-sim works too). A line that another computer exports "
        "with ser2net or a serial device server is given as tcp://HOST:PORT (raw TCP) or "
        "rfc2217://HOST:PORT (telnet with RFC 2217).",
        "path");
    const QCommandLineOption check("check",
        "Without opening any window, report on each serial device (product, serial number, driver, latency "
        "timer, access, other programs holding it), then ask each instrument for its identification. Exit "
        "status 0 when an instrument answered, 1 otherwise.");
    const QCommandLineOption listen("listen",
        "Serve the instrument to scripts on a TCP port, in the raw-socket SCPI convention of networked "
        "instruments (5025 by convention): lines ending in LF, a query's reply followed by LF. Listens on the "
        "loopback address unless <[host:]port> names another. The port has no authentication.",
        "[host:]port");
    const QCommandLineOption vxi11("vxi11",
        "Serve the instrument to scripts as the LAN instrument TCPIP::<host>::INSTR (VXI-11, device inst0), "
        "registered with rpcbind, and announced by mDNS through avahi-daemon on an address other computers reach. "
        "Serves on the loopback address unless a [host] is named. No authentication.",
        "[host]");
    const QCommandLineOption lockWatch("lock-watch",
        "While the panel is idle, ask the instrument for its reference lock every <seconds> (5 unless given; "
        "0: only with each read-back). A change of lock is shown at once and logged.",
        "seconds", "5");
    const QCommandLineOption web("web",
        "Serve web pages on HTTP: the LXI welcome page with the instrument's identity, addresses and VISA "
        "resource strings, the LXI identification document at /lxi/identification, and the live front panel; "
        "announced by mDNS as _lxi._tcp and _http._tcp with --vxi11's rules. Serves on the loopback address "
        "unless a host is named, on port 80 where the panel may bind it, else 8080, else one the system picks, "
        "unless a port is named. The pages show without authentication; changes need the token and control "
        "allowed.",
        "[host][:port]");
    const QCommandLineOption webControl("web-control",
        "With --web: browsers that present the run's token (printed at start-up and shown in the window) may "
        "change settings from the start. Without it they only watch until the operator allows control.");
    parser.addOptions({ simulate, backend, port, check, listen, vxi11, web, webControl, lockWatch });
    passOverQtOptions(parser);
    if (!parser.parse(withOptionalValues(arguments)))
        failWith(parser.errorText());
    if (parser.isSet("help"))
        parser.showHelp(0);
    if (parser.isSet("version"))
        parser.showVersion();
    if (!parser.positionalArguments().isEmpty())
        failWith("unexpected argument " + parser.positionalArguments().first());

    Options options;
    options.simulate = parser.isSet(simulate);
    const QString backendName = parser.value(backend);
    if (backendName == "d2xx")
        options.backend = Options::Backend::D2xx;
    else if (backendName != "serial")
        failWith("unknown backend " + backendName + " (serial or d2xx)");
    for (const QString& path : parser.values(port))
        options.ports.push_back(parsePort(path));
    options.check = parser.isSet(check);
    if (parser.isSet(listen))
        options.listen = parseListenAddress(parser.value(listen));
    if (parser.isSet(vxi11))
        options.vxi11Host = parseVxi11Host(parser.value(vxi11));
    if (parser.isSet(web))
        options.web = parseWebAddress(parser.value(web));
    options.webControl = parser.isSet(webControl);
    if (options.webControl && !options.web)
        failWith("--web-control: allows control from the web pages, which only --web serves");
    options.lockWatch = parseLockWatch(parser.value(lockWatch));
    return options;
}

} // namespace app
