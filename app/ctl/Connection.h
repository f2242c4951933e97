#pragma once

#include <memory>
#include <optional>
#include <string>

#include "BridgeLibrary.h"
#include "CtlOptions.h"
#include "InstrumentLine.h"
#include "InstrumentSession.h"
#include "PanelRegistry.h"

namespace ctl {

// The devices the chooser would list, with the session that lists (and may
// open) them.
class Instruments {
public:
    // Empty error when the bridge library could be had.
    Instruments(const CtlOptions& options, std::string* error);

    const usblink::DeviceList& devices() const { return devices_; }
    session::InstrumentSession& session() { return *session_; }
    // The running panel that holds the listed device, if one publishes itself.
    std::optional<app::PublishedPanel> holder(int32_t index);
    // The device the options name, or -1 with the reason.
    int32_t target(const CtlOptions& options, std::string* error);
    // Sets how long the open device waits for each byte of a reply.
    void setReplyTimeout(int milliseconds);

private:
    std::unique_ptr<usblink::BridgeLibrary> bridge_;
    std::unique_ptr<session::InstrumentSession> session_;
    usblink::DeviceList devices_;
};

// The instrument, opened and identified, or reached through a panel that
// holds it. Messages about the way it was reached go to stderr.
class Connection {
public:
    ~Connection();

    // Nullptr with the reason when the instrument cannot be reached.
    static std::unique_ptr<Connection> open(const CtlOptions& options, std::string* error);

    session::InstrumentLine& line() { return *line_; }
    // The session of the instrument's own line; none through a panel.
    session::InstrumentSession* session() { return throughPanel() ? nullptr : &instruments_->session(); }
    // The device, as the chooser lists it, or the panel's address.
    const std::string& port() const { return port_; }
    // The instrument's reply to *IDN?.
    std::string identity();
    // Why the line failed since it was opened; empty while it is intact.
    std::string failure();
    // What to check when a reply did not come in time.
    std::string timeoutAdvice() const;

private:
    Connection() = default;
    std::string openDirectly(int32_t index);
    std::string openThroughPanel(const std::string& host, uint16_t port);
    bool throughPanel() const;

    std::unique_ptr<Instruments> instruments_;
    std::unique_ptr<session::InstrumentLine> line_;
    std::string port_;
    std::optional<std::string> identity_;
    std::optional<int> timeoutMs_; // --timeout, when given
};

} // namespace ctl
