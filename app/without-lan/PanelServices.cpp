// The panel of the first look, built without the services for scripts and
// browsers, the analyzer client and the Calibrate window: it starts sooner
// on a new machine, and says what it leaves out when asked for it.
#include "PanelServices.h"

#include "MessageBoxes.h"
#include "frmMain.h"

namespace app {

namespace {

constexpr const char* HowToBuildThem
    = "this build of r6140k-panel leaves them out (scripts/build --app, the first look): scripts/build builds "
      "the panel with them, or configure with -DR6140K_LAN=ON";

} // namespace

QString servicesMissing(const Options& options)
{
    const char* asked = options.listen ? "--listen" : options.vxi11Host ? "--vxi11" : options.web ? "--web" : nullptr;
    if (!asked)
        return {};
    return QString("%1 needs the services for scripts and browsers, and %2.").arg(asked, HowToBuildThem);
}

void checkServices(const Options&, std::FILE*) { }

struct PanelServices::Parts { };

PanelServices::PanelServices(session::InstrumentSession&, const Options&) { }

PanelServices::~PanelServices() = default;

bool PanelServices::attach(frmMain& window, const sim::Instrument*, QString*)
{
    window.setCalibrateWindow([&window]() -> QWidget* {
        panel::showMessage(&window, QMessageBox::Information, "Calibrate",
            QString("Calibrating needs the analyzer client and this window, and %1.").arg(HowToBuildThem));
        return nullptr;
    });
    return true;
}

void PanelServices::startAccepting(usblink::BridgeLibrary&, const frmMain&) { }

void PanelServices::withdraw() { }

} // namespace app
