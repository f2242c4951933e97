#pragma once

#include <QString>

class frmMain;

namespace remote {
class LiveChannel;
}

namespace app {

class RemoteServices;

// The operator's say over browsers: a checked entry in the window's menus
// lets a browser with the token change settings, unchecked takes that back
// at once; the remote status line says which it is, with the address url.
void offerBrowserControl(frmMain& window, RemoteServices& remote, remote::LiveChannel& live, const QString& url);

} // namespace app
