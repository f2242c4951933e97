#include "Connection.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "BridgeSelection.h"
#include "CommandSet.h"
#include "DeviceFilter.h"
#include "NetworkBridge.h"
#include "PanelSocketLine.h"
#include "SessionLine.h"
#include "Tell.h"

namespace ctl {

namespace {

// Start-up waits this long after opening the device before its first
// message, which the instrument's own panel has always done: whatever the
// bridge and the instrument do as the line opens is over by then.
constexpr std::chrono::milliseconds SettleTime { 500 };

// The entry a --port line is listed under.
std::string entryOfPort(const std::string& port)
{
    return "R6140K " + port;
}

std::string joined(const std::vector<std::string>& entries)
{
    std::string text;
    for (const std::string& entry : entries)
        text += "\n  " + entry;
    return text;
}

} // namespace

Instruments::Instruments(const CtlOptions& options, std::string* error)
{
    app::Options bridgeOptions;
    if (options.target == CtlOptions::Target::Port)
        bridgeOptions.ports.push_back(options.targetValue);
    bridge_ = app::selectBridge(bridgeOptions, error);
    if (!bridge_)
        return;
    session_ = std::make_unique<session::InstrumentSession>(*bridge_, [] { });
    devices_ = session_->listDevices();
}

std::optional<app::PublishedPanel> Instruments::holder(int32_t index)
{
    return app::panelHolding(app::lineOfListed(*bridge_, index), tell);
}

int32_t Instruments::target(const CtlOptions& options, std::string* error)
{
    const auto indexOf = [this](auto found) { return static_cast<int32_t>(found - devices_.begin()); };
    switch (options.target) {
    case CtlOptions::Target::Port: {
        // Listed last, after the system's own ports.
        const auto found = std::find(devices_.rbegin(), devices_.rend(), entryOfPort(options.targetValue));
        if (found != devices_.rend())
            return static_cast<int32_t>(devices_.rend() - found - 1);
        *error = options.targetValue + " is not listed";
        return -1;
    }
    case CtlOptions::Target::Serial: {
        const auto found = std::ranges::find_if(devices_, [&](const std::string& entry) {
            return entry.ends_with(" " + options.targetValue) && instrument::isInstrumentEntry(entry);
        });
        if (found != devices_.end())
            return indexOf(found);
        *error = "no R6140K bridge with serial number " + options.targetValue + " is attached";
        return -1;
    }
    default:
        break;
    }
    std::vector<std::string> offered;
    std::ranges::copy_if(devices_, std::back_inserter(offered), instrument::isInstrumentEntry);
    if (offered.size() == 1) {
        tell("using " + offered.front() + ", the only instrument attached");
        return indexOf(std::ranges::find(devices_, offered.front()));
    }
    *error = offered.empty() ? "no R6140K device is listed: give its serial line with --port"
                             : "several instruments are attached; choose one with --serial or --port:" + joined(offered);
    return -1;
}

Connection::~Connection() = default;

std::unique_ptr<Connection> Connection::open(const CtlOptions& options, std::string* error)
{
    std::unique_ptr<Connection> connection(new Connection);
    if (options.target == CtlOptions::Target::Panel) {
        const auto address = usblink::NetworkAddress::parse("tcp://" + options.targetValue);
        connection->port_ = "panel " + options.targetValue;
        *error = connection->openThroughPanel(address->host, address->port);
        return error->empty() ? std::move(connection) : nullptr;
    }
    connection->instruments_ = std::make_unique<Instruments>(options, error);
    if (!error->empty())
        return nullptr;
    const int32_t index = connection->instruments_->target(options, error);
    if (index < 0)
        return nullptr;
    connection->port_ = connection->instruments_->devices()[static_cast<std::size_t>(index)];
    const auto panel = connection->instruments_->holder(index);
    if (panel) {
        tell(connection->port_ + " is held by r6140k-panel (pid " + std::to_string(panel->pid)
            + "): going through its SCPI socket at " + panel->host + ":" + std::to_string(panel->port));
        *error = connection->openThroughPanel(panel->host, panel->port);
    }
    // A panel that no longer serves its socket may have let the line go.
    if (!panel || !error->empty()) {
        if (panel)
            tell(*error + "; opening the line itself");
        *error = connection->openDirectly(index);
    }
    return error->empty() ? std::move(connection) : nullptr;
}

// The panel's start-up, less its windows: the start-up messages, then the
// identification, which must be answered.
std::string Connection::openDirectly(int32_t index)
{
    session::InstrumentSession& session = instruments_->session();
    session.open(index);
    if (session.linkDown())
        return port_ + ": " + session.linkProblem();
    std::this_thread::sleep_for(SettleTime);
    for (const char* message : instrument::commands::StartUpMessages)
        session.send(message);
    line_ = std::make_unique<session::SessionLine>(session);
    const usblink::Reply identity = session.ask(instrument::commands::Identify);
    if (!identity.answered())
        return port_ + ": *IDN? = " + identity.text;
    identity_ = identity.text;
    return {};
}

std::string Connection::openThroughPanel(const std::string& host, uint16_t port)
{
    auto line = std::make_unique<PanelSocketLine>();
    std::string error = line->connectTo(host, port);
    line_ = std::move(line);
    return error;
}

std::string Connection::identity()
{
    if (!identity_)
        identity_ = line_->ask(instrument::commands::Identify).text;
    return *identity_;
}

std::string Connection::failure()
{
    if (instruments_ && instruments_->session().linkDown())
        return port_ + ": " + instruments_->session().linkProblem();
    const auto* panel = dynamic_cast<const PanelSocketLine*>(line_.get());
    return panel && !panel->intact() ? port_ + ": the panel closed the connection" : "";
}

} // namespace ctl
