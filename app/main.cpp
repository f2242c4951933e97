#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Version.h"
#include "LinkCheck.h"
#include "Options.h"
#include "PanelBridge.h"
#include "SimulatedAnalyzerService.h"
#include "PanelRegistry.h"
#include "MessageBoxes.h"
#include "ProgramIcon.h"
#include "frmMain.h"
#include "InstrumentSession.h"
#include "LiveChannel.h"
#include "LiveState.h"
#include "WebServer.h"
#include "RemoteServices.h"
#include "BrowserControl.h"
#include "CalibrationStart.h"
#include "TerminationSignals.h"
#include "WindowIdentify.h"

namespace {

// The options are checked before the window system is opened, so help,
// version and a usage error work over a plain terminal too. The application
// object used for that gets its own copy of the arguments, which it may edit.
app::Options parseBeforeTheWindowSystem(int argc, char* argv[])
{
    std::vector<char*> arguments(argv, argv + argc + 1); // with the closing null
    int count = argc;
    const QCoreApplication terminalOnly(count, arguments.data());
    return app::parseOptions(QCoreApplication::arguments());
}

// Quitting ends the run at once: no window closes first and no handler runs
// after; the device has been closed by then.
[[noreturn]] void endAtOnce(int status)
{
    app::withdrawPanel();
    std::fflush(nullptr);
    std::_Exit(status);
}

// Tells r6140k-ctl where this panel serves the instrument it holds, so that
// it goes through the socket rather than find the line busy.
void publish(usblink::BridgeLibrary& bridge, const frmMain& window, const std::string& host, uint16_t port)
{
    const auto selection = static_cast<std::size_t>(window.Selection);
    app::publishPanel({ .pid = 0, .host = host, .port = port, .line = app::lineOfListed(bridge, window.Selection),
        .entry = window.Devices.at(selection) });
}

// The live front panel on the web server's /ws, following the remote status
// line and, as every remote path, the VXI-11 lock; the token that lets a
// browser control is on standard error and, while control is allowed, on the
// remote status line.
void serveLivePanel(frmMain& window, remote::WebServer& web, app::RemoteServices& remote, remote::LiveState& state,
    remote::LiveChannel& live, bool control)
{
    web.setUpgradeHandler([&live](QTcpSocket* socket) { live.take(socket); });
    if (const auto* lock = remote.deviceLock())
        live.holdBackWhile(*lock);
    state.setRemoteStatus(remote.status().text());
    QObject::connect(&remote.status(), &remote::RemoteStatus::changed, &state, &remote::LiveState::setRemoteStatus);
    live.setControlAllowed(control);
    const QString controlUrl = web.url() + "panel.html?token=" + live.token();
    std::fprintf(stderr, "r6140k-panel: live front panel on %spanel.html; control with %s\n", qPrintable(web.url()),
        qPrintable(controlUrl));
    app::offerBrowserControl(window, remote, live, controlUrl);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName("r6140k-panel");
    QCoreApplication::setApplicationVersion(app::VersionText);
    const app::Options options = parseBeforeTheWindowSystem(argc, argv);
    if (options.check) {
        const QCoreApplication terminalOnly(argc, argv);
        return app::runLinkCheck(options, stdout);
    }
    QApplication application(argc, argv);
    panel::setProgramIcon();

    std::string error;
    const sim::Instrument* simulated = nullptr;
    const auto bridge = app::panelBridge(options, &error, usblink::D2xxBridge::defaultLibraryName(), &simulated);
    if (!bridge) {
        panel::showMessage(nullptr, QMessageBox::Critical, "Error", QString::fromStdString(error));
        return 1;
    }
    std::unique_ptr<sim::SimulatedAnalyzer> analyzer;
    if (QString why; simulated && !(analyzer = app::startSimulatedAnalyzer(*simulated, &why))) {
        panel::showMessage(nullptr, QMessageBox::Critical, "Error", why);
        return 1;
    }

    const auto processEvents = [] { QCoreApplication::processEvents(); };
    session::InstrumentSession session(*bridge, processEvents);
    app::RemoteServices remote(session, options);
    // Quitting ends the process at once: nothing outlives it at the port mapper.
    const auto endRun = [&remote](int status) {
        remote.withdraw();
        endAtOnce(status);
    };
    frmMain window({ .session = &session, .processEvents = processEvents, .clock = TimerModule::SecondsSinceMidnight,
        .endProgram = endRun, .referenceLockInterval = options.lockWatch });
    QObject::connect(&remote.status(), &remote::RemoteStatus::changed, &window, &frmMain::showRemoteStatus);
    app::offerCalibrateWindow(window, app::simulatedAnalyzerResource());
    QObject::connect(&window, &frmMain::identified, &remote, &app::RemoteServices::announce);
    auto* identify = new panel::WindowIdentify(&window);
    QObject::connect(&remote, &app::RemoteServices::identifyRequested, identify, &panel::WindowIdentify::identify);
    if (QString why; !remote.bind(&why)) {
        panel::showMessage(nullptr, QMessageBox::Critical, "Error", why);
        return 1;
    }
    remote::LiveState liveState(session);
    remote::LiveChannel live(session, liveState, remote::LiveChannel::newToken());
    if (auto* web = remote.webServer())
        serveLivePanel(window, *web, remote, liveState, live, options.webControl);
    if (options.vxi11Host)
        app::runBeforeTermination([&remote] { remote.withdraw(); });
    window.Form_Load();
    remote.startAccepting();
    if (options.listen)
        publish(*bridge, window, options.listen->host, remote.socketPort());
    return QApplication::exec();
}
