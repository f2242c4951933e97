#pragma once

#include <QString>
#include <cstdio>
#include <memory>

#include "Options.h"

class frmMain;

namespace sim {
class Instrument;
}
namespace session {
class InstrumentSession;
}
namespace usblink {
class BridgeLibrary;
}

namespace app {

// Why this build cannot give what the options ask for, or empty when it
// can. The first look that scripts/build --app makes leaves out the services
// for scripts and browsers, the analyzer client and the Calibrate window.
QString servicesMissing(const Options& options);

// What --check says about the services the options ask for.
void checkServices(const Options& options, std::FILE* out);

// What the panel offers beyond its window, as the options ask: the SCPI
// socket, VXI-11 and the web pages with the live front panel, the
// Calibrate window, and with --simulate a simulated spectrum analyzer for
// it to read.
class PanelServices {
public:
    PanelServices(session::InstrumentSession& session, const Options& options);
    ~PanelServices();
    PanelServices(const PanelServices&) = delete;
    PanelServices& operator=(const PanelServices&) = delete;

    // Starts the simulated analyzer when the instrument is simulated, gives
    // the window what it shows of the services and binds their addresses;
    // false, and why, when one cannot be had. Before the window's Form_Load.
    bool attach(frmMain& window, const sim::Instrument* simulated, QString* why);
    // Serves the clients from then on, and tells r6140k-ctl where.
    void startAccepting(usblink::BridgeLibrary& bridge, const frmMain& window);
    // Withdraws what outlives the process elsewhere (the registration with
    // the port mapper), for a run that ends at once.
    void withdraw();

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
};

} // namespace app
