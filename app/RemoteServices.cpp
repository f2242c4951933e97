#include "RemoteServices.h"

#include <QCoreApplication>
#include <QTime>
#include <cstdio>

#include "DeviceCalls.h"
#include "HostText.h"
#include "ScpiServer.h"
#include "Vxi11Server.h"
#include "WebServer.h"

namespace app {

namespace {

// Where a VXI-11 client asks for the core channel's port.
constexpr quint16 PortMapperPort = 111;
constexpr auto RegistrationCheckInterval = std::chrono::seconds(3);

} // namespace

RemoteServices::RemoteServices(session::InstrumentSession& session, const Options& options, QObject* parent)
    : QObject(parent)
    , session_(session)
    , options_(options)
    , registration_(vxi11::CoreProgram, vxi11::ProgramVersion)
{
    connect(&announcer_, &remote::ServiceAnnouncer::problemChanged, &status_,
        [this](const QString& problem) { status_.setNote(remote::RemoteStatus::Note::Announcement, problem); });
}

RemoteServices::~RemoteServices() = default;

bool RemoteServices::bind(QString* error)
{
    if (!bindSocket(error) || !bindVxi11(error) || !bindWeb(error))
        return false;
    // One rule for every remote path: while a VXI-11 link holds the lock,
    // the socket's clients wait too.
    if (socket_ && vxi11_)
        socket_->holdBackWhile(vxi11_->deviceLock());
    noteExposure();
    return true;
}

bool RemoteServices::bindSocket(QString* error)
{
    if (!options_.listen)
        return true;
    socket_ = std::make_unique<remote::ScpiServer>(session_, slots_);
    status_.watch(*socket_);
    const QString address = QString::fromStdString(options_.listen->host);
    if (socket_->listen(QHostAddress(address), options_.listen->port))
        return true;
    *error = QString("Cannot listen on %1 port %2: %3").arg(address).arg(options_.listen->port).arg(socket_->errorString());
    return false;
}

bool RemoteServices::bindVxi11(QString* error)
{
    if (!options_.vxi11Host)
        return true;
    vxi11_ = std::make_unique<remote::Vxi11Server>(session_, slots_);
    status_.watch(*vxi11_);
    const QString address = QString::fromStdString(*options_.vxi11Host);
    if (!vxi11_->listen(QHostAddress(address))) {
        *error = QString("Cannot serve VXI-11 on %1: %2").arg(address, vxi11_->errorString());
        return false;
    }
    const std::string problem = registration_.registerAt(vxi11_->address(), vxi11_->port());
    registered_ = problem.empty();
    status_.setNote(remote::RemoteStatus::Note::PortMapper, QString::fromStdString(problem));
    if (!registered_)
        std::fprintf(stderr, "r6140k-panel: %s\n", problem.c_str());
    connect(&registrationCheck_, &QTimer::timeout, this, &RemoteServices::registerVxi11);
    registrationCheck_.start(RegistrationCheckInterval);
    return true;
}

bool RemoteServices::bindWeb(QString* error)
{
    if (!options_.web)
        return true;
    web_ = std::make_unique<remote::WebServer>(webFolder(), [this] { return describe(); });
    connect(web_.get(), &remote::WebServer::identifyRequested, this, &RemoteServices::identifyRequested);
    const QString address = QString::fromStdString(options_.web->host);
    if (!web_->listen(QHostAddress(address), options_.web->port)) {
        const QString port = options_.web->port ? QString::number(*options_.web->port) : QString("80, 8080 or any");
        *error = QString("Cannot serve the web pages on %1 port %2: %3").arg(address, port, web_->errorString());
        return false;
    }
    status_.watch(*web_);
    std::fprintf(stderr, "r6140k-panel: web pages on %s\n", qPrintable(web_->url()));
    return true;
}

QDir RemoteServices::webFolder()
{
    return QDir(QCoreApplication::applicationDirPath() + "/../" + R6140K_WEB_DIR);
}

remote::InstrumentDescription RemoteServices::describe() const
{
    using Service = remote::InstrumentDescription::Service;
    remote::InstrumentDescription description { identity_.value_or(""),
        session_.linkDown() ? QString::fromStdString(session_.linkProblem()) : QString("Up"), {} };
    if (vxi11_)
        description.services.push_back({ "VXI-11", vxi11_->address(), PortMapperPort, Service::Kind::Vxi11 });
    if (socket_)
        description.services.push_back({ "SCPI socket", socket_->address(), socket_->port(), Service::Kind::Socket });
    return description;
}

// Registers again what the port mapper no longer lists, and announces
// VXI-11 by mDNS only while it is registered.
void RemoteServices::registerVxi11()
{
    if (registered_ && registration_.stillListed())
        return;
    const bool lost = registered_;
    const std::string problem = registration_.registerAt(vxi11_->address(), vxi11_->port());
    const bool registered = problem.empty();
    QString note = QString::fromStdString(problem);
    if (lost && registered)
        note = QString("rpcbind had lost VXI-11's registration (restarted at %1?): registered again.")
                   .arg(QTime::currentTime().toString("HH:mm:ss"));
    status_.setNote(remote::RemoteStatus::Note::PortMapper, note);
    if (registered == registered_)
        return;
    registered_ = registered;
    if (identity_)
        announce(*identity_);
}

// Neither server authenticates its clients: whoever reaches one controls
// the instrument.
void RemoteServices::noteExposure()
{
    QStringList exposed;
    if (socket_ && !socket_->address().isLoopback())
        exposed << QString("SCPI socket on %1:%2").arg(remote::hostText(socket_->address())).arg(socket_->port());
    if (vxi11_ && !vxi11_->address().isLoopback())
        exposed << QString("VXI-11 on %1").arg(remote::hostText(vxi11_->address()));
    if (web_ && !web_->address().isLoopback())
        exposed << QString("web pages on %1:%2").arg(remote::hostText(web_->address())).arg(web_->port());
    if (exposed.isEmpty())
        return;
    const QString reachable = "Reachable from other computers, without authentication";
    status_.setNote(remote::RemoteStatus::Note::Exposure, reachable + "."); // the status line names the addresses
    std::fprintf(stderr, "r6140k-panel: %s: %s.\n", qPrintable(reachable), qPrintable(exposed.join(", ")));
}

void RemoteServices::startAccepting()
{
    if (socket_)
        socket_->startAccepting();
}

// The loopback addresses are not announced: no other computer reaches them.
void RemoteServices::announce(const std::string& identity)
{
    identity_ = identity;
    remote::Announcement announcement = remote::Announcement::of(identity);
    if (vxi11_ && registered_ && !vxi11_->address().isLoopback())
        announcement.services.push_back({ "_vxi-11._tcp", vxi11_->address(), PortMapperPort });
    if (socket_ && !socket_->address().isLoopback())
        announcement.services.push_back({ "_scpi-raw._tcp", socket_->address(), socket_->port() });
    // An LXI instrument announces its web server as _lxi._tcp; browsers
    // of the network find it as _http._tcp, the page at the path given.
    if (web_ && !web_->address().isLoopback())
        for (const char* type : { "_lxi._tcp", "_http._tcp" })
            announcement.services.push_back({ type, web_->address(), web_->port(), { "path=/" } });
    // A panel that other computers cannot reach never asks avahi; one that
    // could, and no longer can, withdraws what it announced.
    if (announcement.services.empty() && !announcedServices_)
        return;
    announcedServices_ = !announcement.services.empty();
    announcer_.announce(announcement);
}

const remote::DeviceLock* RemoteServices::deviceLock() const
{
    return vxi11_ ? &vxi11_->deviceLock() : nullptr;
}

quint16 RemoteServices::socketPort() const
{
    return socket_ ? socket_->port() : 0;
}

} // namespace app

#include "moc_RemoteServices.cpp"
