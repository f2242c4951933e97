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
// address when none is named. A refusal names the whole value and the forms
// expected.
Options::ListenAddress parseListenAddress(const QString& text)
{
    const auto refuse = [&text](const QString& why) {
        failWith("--listen " + text + ": " + why
            + " (expected PORT, HOST:PORT or [IPv6]:PORT, as 5025, 192.168.1.20:5025 or [::1]:5025)");
    };
    QString host = "127.0.0.1";
    QString port = text;
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf("]:");
        if (close < 0)
            refuse("an IPv6 address in brackets must be followed by :PORT");
        host = text.mid(1, close - 1);
        port = text.mid(close + 2);
    } else if (text.count(':') > 1) {
        refuse("an IPv6 address goes in brackets");
    } else if (const qsizetype colon = text.indexOf(':'); colon >= 0) {
        host = text.left(colon);
        port = text.mid(colon + 1);
    }
    bool isNumber = false;
    const uint number = port.toUInt(&isNumber);
    if (!isNumber || number > 65535)
        refuse("the port must be a number from 0 to 65535");
    if (QHostAddress(host).isNull())
        refuse(host + " is not an IP address");
    return { host.toStdString(), static_cast<uint16_t>(number) };
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

// --vxi11 takes a host when one follows it, and the loopback address
// otherwise; the parser's options take a value always or never, so it is
// given one here.
QStringList withVxi11Host(QStringList arguments)
{
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        if (arguments[i] != Vxi11Option)
            continue;
        const bool hostFollows = i + 1 < arguments.size() && !arguments[i + 1].startsWith('-');
        arguments[i] = QString(Vxi11Option) + '=' + (hostFollows ? arguments.takeAt(i + 1) : "127.0.0.1");
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
    parser.addOptions({ simulate, backend, port, check, listen, vxi11, lockWatch });
    passOverQtOptions(parser);
    if (!parser.parse(withVxi11Host(arguments)))
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
    options.lockWatch = parseLockWatch(parser.value(lockWatch));
    return options;
}

} // namespace app
