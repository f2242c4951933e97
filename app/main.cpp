#include <QApplication>
#include <algorithm>
#include <set>
#include <string_view>

#include "Version.h"
#include "app/BridgeSelection.h"
#include "app/Options.h"
#include "link/FTDI_Driver.h"
#include "panel/MessageBoxes.h"
#include "panel/ProgramIcon.h"
#include "panel/frmMain.h"

namespace {

// Help and version need no window system, so they are answered before one is
// opened: they then work over a plain terminal too.
bool asksForHelpOrVersion(int argc, char* argv[])
{
    const std::set<std::string_view> words = { "-h", "--help", "--help-all", "-v", "--version" };
    return std::any_of(argv + 1, argv + argc, [&words](const char* argument) { return words.count(argument) > 0; });
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication::setApplicationName("r6140k-panel");
    QCoreApplication::setApplicationVersion(app::VersionText);
    if (asksForHelpOrVersion(argc, argv)) {
        const QCoreApplication terminalOnly(argc, argv);
        app::parseOptions(QCoreApplication::arguments()); // prints, then ends the process
    }
    QApplication application(argc, argv);
    panel::setProgramIcon();
    const app::Options options = app::parseOptions(QApplication::arguments());

    std::string error;
    const auto bridge = app::selectBridge(options, &error);
    if (!bridge) {
        panel::showMessage(nullptr, QMessageBox::Critical, "Error", QString::fromStdString(error));
        return 1;
    }

    const auto processEvents = [] { QCoreApplication::processEvents(); };
    usblink::FTDI_Driver driver(*bridge, processEvents);
    frmMain window({ &driver, processEvents, TimerModule::SecondsSinceMidnight, {} });
    window.Form_Load();
    return QApplication::exec();
}
