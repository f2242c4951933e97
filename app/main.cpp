#include <QApplication>

#include "Version.h"
#include "app/BridgeSelection.h"
#include "app/Options.h"
#include "link/FTDI_Driver.h"
#include "panel/MessageBoxes.h"
#include "panel/frmMain.h"

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setApplicationName("r6140k-panel");
    QApplication::setApplicationVersion(app::VersionText);
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
