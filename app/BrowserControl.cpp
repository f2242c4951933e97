#include "BrowserControl.h"

#include <QAction>

#include "LiveChannel.h"
#include "RemoteServices.h"
#include "frmMain.h"

namespace app {

void offerBrowserControl(frmMain& window, RemoteServices& remote, remote::LiveChannel& live, const QString& url)
{
    auto* allow = new QAction("Control from Browsers", &window);
    allow->setObjectName("actBrowserControl");
    allow->setCheckable(true);
    window.addAction(allow);
    const auto show = [&remote, url](bool allowed) {
        remote.showBrowserControl(allowed ? "Browsers may change settings through " + url : QString());
    };
    QObject::connect(allow, &QAction::toggled, &live, &remote::LiveChannel::setControlAllowed);
    QObject::connect(&live, &remote::LiveChannel::controlAllowedChanged, allow, [allow, show](bool allowed) {
        allow->setChecked(allowed);
        show(allowed);
    });
    allow->setChecked(live.controlAllowed());
    show(live.controlAllowed());
}

} // namespace app
