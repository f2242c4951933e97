#pragma once

#include <QDir>
#include <QObject>
#include <QString>
#include <QTimer>
#include <memory>
#include <optional>
#include <string>

#include "ClientSlots.h"
#include "InstrumentDescription.h"
#include "InstrumentSession.h"
#include "Options.h"
#include "PortMapper.h"
#include "RemoteStatus.h"
#include "ServiceAnnouncer.h"

namespace remote {
class DeviceLock;
class ScpiServer;
class Vxi11Server;
class WebServer;
}

namespace app {

// What the panel serves to scripts and browsers, as the options ask: the
// SCPI socket and VXI-11, which share the remote clients' slots, and the web
// pages, all on one status line; VXI-11's registration with the port
// mapper; and the mDNS announcement of what other computers reach.
class RemoteServices : public QObject {
    Q_OBJECT
public:
    RemoteServices(session::InstrumentSession& session, const Options& options, QObject* parent = nullptr);
    ~RemoteServices() override;

    // Binds the servers and registers VXI-11 with the port mapper; false,
    // and why in error, when an address cannot be had. Says on standard
    // error what other computers reach without authentication.
    bool bind(QString* error);
    void startAccepting();
    // Announces the servers that other computers reach, under the
    // instrument's identification.
    void announce(const std::string& identity);
    // Withdraws the registration with the port mapper, for a run that ends
    // at once; no client finds VXI-11 from then on.
    void withdraw() { registration_.withdraw(); }

    const remote::RemoteStatus& status() const { return status_; }
    // Whether browsers may change settings, and with which address, on the
    // status line; an empty text removes it.
    void showBrowserControl(const QString& text) { status_.setNote(remote::RemoteStatus::Note::BrowserControl, text); }
    // The port the SCPI socket listens on; 0 without one.
    quint16 socketPort() const;
    // The web server, for the live channel to take its WebSocket
    // connections; null without --web.
    remote::WebServer* webServer() const { return web_.get(); }
    // The VXI-11 lock, which every remote path follows; null without VXI-11.
    const remote::DeviceLock* deviceLock() const;
    // Where the installed web pages' files are: beside the program, in the
    // build tree as where it is installed.
    static QDir webFolder();

signals:
    // A browser asked the desktop window to show itself.
    void identifyRequested(const QString& peer);

private:
    bool bindSocket(QString* error);
    bool bindVxi11(QString* error);
    bool bindWeb(QString* error);
    remote::InstrumentDescription describe() const;
    void registerVxi11();
    void noteExposure();

    session::InstrumentSession& session_;
    const Options options_;
    remote::ClientSlots slots_ { [this] { return session_.now(); } };
    remote::RemoteStatus status_ { slots_ };
    std::unique_ptr<remote::ScpiServer> socket_;
    std::unique_ptr<remote::Vxi11Server> vxi11_;
    std::unique_ptr<remote::WebServer> web_;
    remote::PortMapperRegistration registration_;
    bool registered_ = false;
    // The port mapper forgets registrations when it restarts, and a panel
    // refused because another held VXI-11 may have it once that one goes.
    QTimer registrationCheck_;
    std::optional<std::string> identity_; // announced
    bool announcedServices_ = false;
    remote::ServiceAnnouncer announcer_;
};

} // namespace app
