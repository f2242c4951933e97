#include "PanelMain.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "Version.h"
#include "LinkCheck.h"
#include "Options.h"
#include "PanelBridge.h"
#include "PanelRegistry.h"
#include "PanelServices.h"
#include "MessageBoxes.h"
#include "ProgramIcon.h"
#include "frmMain.h"
#include "InstrumentSession.h"

namespace app {

namespace {

// The options are checked before the window system is opened, so help,
// version and a usage error work over a plain terminal too. The application
// object used for that gets its own copy of the arguments, which it may edit.
Options parseBeforeTheWindowSystem(int argc, char* argv[])
{
    std::vector<char*> arguments(argv, argv + argc + 1); // with the closing null
    int count = argc;
    const QCoreApplication terminalOnly(count, arguments.data());
    return parseOptions(QCoreApplication::arguments());
}

// Quitting ends the run at once: no window closes first and no handler runs
// after; the device has been closed by then.
[[noreturn]] void endAtOnce(int status)
{
    withdrawPanel();
    std::fflush(nullptr);
    std::_Exit(status);
}

} // namespace

int runPanel(int argc, char* argv[])
{
    QCoreApplication::setApplicationName("r6140k-panel");
    QCoreApplication::setApplicationVersion(VersionText);
    const Options options = parseBeforeTheWindowSystem(argc, argv);
    if (const QString missing = servicesMissing(options); !missing.isEmpty()) {
        std::fprintf(stderr, "r6140k-panel: %s\n", qPrintable(missing));
        return 2;
    }
    if (options.check) {
        const QCoreApplication terminalOnly(argc, argv);
        return runLinkCheck(options, stdout);
    }
    QApplication application(argc, argv);
    panel::setProgramIcon();

    std::string error;
    const sim::Instrument* simulated = nullptr;
    const auto bridge = panelBridge(options, &error, usblink::D2xxBridge::defaultLibraryName(), &simulated);
    if (!bridge) {
        panel::showMessage(nullptr, QMessageBox::Critical, "Error", QString::fromStdString(error));
        return 1;
    }
    const auto processEvents = [] { QCoreApplication::processEvents(); };
    session::InstrumentSession session(*bridge, processEvents);
    PanelServices services(session, options);
    const auto endRun = [&services](int status) {
        services.withdraw();
        endAtOnce(status);
    };
    frmMain window({ .session = &session, .processEvents = processEvents, .clock = TimerModule::SecondsSinceMidnight,
        .endProgram = endRun, .referenceLockInterval = options.lockWatch });
    if (QString why; !services.attach(window, simulated, &why)) {
        panel::showMessage(nullptr, QMessageBox::Critical, "Error", why);
        return 1;
    }
    window.Form_Load();
    services.startAccepting(*bridge, window);
    return QApplication::exec();
}

} // namespace app
