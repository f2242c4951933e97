#include "PanelServices.h"

#include "BrowserControl.h"
#include "CalibrationStart.h"
#include "LiveChannel.h"
#include "LiveState.h"
#include "PanelRegistry.h"
#include "PortMapper.h"
#include "RemoteServices.h"
#include "SimulatedAnalyzerService.h"
#include "TerminationSignals.h"
#include "WebServer.h"
#include "WindowIdentify.h"
#include "frmMain.h"

namespace app {

QString servicesMissing(const Options&) { return {}; }

// VXI-11 clients find the panel through the port mapper.
void checkServices(const Options& options, std::FILE* out)
{
    if (!options.vxi11Host)
        return;
    const std::string problem = remote::portMapperProblem();
    std::fprintf(out, "%s\n", problem.empty() ? "VXI-11: rpcbind answers." : problem.c_str());
}

struct PanelServices::Parts {
    Parts(session::InstrumentSession& session, const Options& options)
        : options(options)
        , remote(session, options)
        , liveState(session)
        , live(session, liveState, remote::LiveChannel::newToken())
    {
    }

    const Options options;
    std::unique_ptr<sim::SimulatedAnalyzer> analyzer;
    RemoteServices remote;
    remote::LiveState liveState;
    remote::LiveChannel live;
};

namespace {

// The live front panel on the web server's /ws, following the remote status
// line and, as every remote path, the VXI-11 lock; the token that lets a
// browser control is on standard error and, while control is allowed, on the
// remote status line.
void serveLivePanel(frmMain& window, remote::WebServer& web, RemoteServices& remote, remote::LiveState& state,
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
    offerBrowserControl(window, remote, live, controlUrl);
}

} // namespace

PanelServices::PanelServices(session::InstrumentSession& session, const Options& options)
    : parts_(std::make_unique<Parts>(session, options))
{
}

PanelServices::~PanelServices() = default;

bool PanelServices::attach(frmMain& window, const sim::Instrument* simulated, QString* why)
{
    if (simulated && !(parts_->analyzer = startSimulatedAnalyzer(*simulated, why)))
        return false;
    RemoteServices& remote = parts_->remote;
    QObject::connect(&remote.status(), &remote::RemoteStatus::changed, &window, &frmMain::showRemoteStatus);
    offerCalibrateWindow(window, simulatedAnalyzerResource());
    QObject::connect(&window, &frmMain::identified, &remote, &RemoteServices::announce);
    auto* identify = new panel::WindowIdentify(&window);
    QObject::connect(&remote, &RemoteServices::identifyRequested, identify, &panel::WindowIdentify::identify);
    if (!remote.bind(why))
        return false;
    if (auto* web = remote.webServer())
        serveLivePanel(window, *web, remote, parts_->liveState, parts_->live, parts_->options.webControl);
    // Quitting ends the process at once: nothing outlives it at the port mapper.
    if (parts_->options.vxi11Host)
        runBeforeTermination([&remote] { remote.withdraw(); });
    return true;
}

// Tells r6140k-ctl where this panel serves the instrument it holds, so that
// it goes through the socket rather than find the line busy.
void PanelServices::startAccepting(usblink::BridgeLibrary& bridge, const frmMain& window)
{
    parts_->remote.startAccepting();
    const auto& listen = parts_->options.listen;
    if (!listen)
        return;
    const auto selection = static_cast<std::size_t>(window.Selection);
    publishPanel({ .host = listen->host, .port = parts_->remote.socketPort(), .line = lineOfListed(bridge, window.Selection),
        .entry = window.Devices.at(selection) });
}

void PanelServices::withdraw() { parts_->remote.withdraw(); }

} // namespace app
