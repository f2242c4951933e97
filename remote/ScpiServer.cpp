#include "ScpiServer.h"

#include "HostText.h"
#include "ClientStream.h"
#include "ScpiClient.h"

namespace remote {

namespace {

QByteArray refusal()
{
    return QString("Refused: %1 clients are connected, the most served at once.\n")
        .arg(ScpiServer::MaxClients)
        .toLatin1();
}

} // namespace

ScpiServer::ScpiServer(session::InstrumentSession& session, QObject* parent)
    : ScpiServer(session, *new ClientSlots([&session] { return session.now(); }), parent)
{
    slots_.setParent(this);
}

ScpiServer::ScpiServer(session::InstrumentSession& session, ClientSlots& clientSlots, QObject* parent)
    : QObject(parent)
    , session_(session)
    , slots_(clientSlots)
{
    connect(&server_, &DescriptorServer::connectionReady, this, &ScpiServer::take);
}

bool ScpiServer::listen(const QHostAddress& host, quint16 port)
{
    if (!server_.listen(host, port))
        return false;
    server_.pauseAccepting();
    emit statusChanged(status());
    return true;
}

void ScpiServer::startAccepting()
{
    server_.resumeAccepting();
}

QString ScpiServer::status() const
{
    if (!server_.isListening())
        return {};
    const QString address = hostText(server_.serverAddress());
    const QString clients = clients_ == 0 ? QString("no client") : clients_ == 1 ? QString("1 client")
                                                                                 : QString("%1 clients").arg(clients_);
    return QString("SCPI socket on %1:%2, %3 connected").arg(address).arg(port()).arg(clients);
}

void ScpiServer::take(qintptr descriptor)
{
    auto* client = new ScpiClient(descriptor, session_, this);
    if (!slots_.take(client, [client](std::chrono::seconds idle) { client->evict(idle); })) {
        client->refuse(refusal());
        return;
    }
    if (lock_)
        client->holdBackWhile(*lock_);
    ++clients_;
    connect(client, &ScpiClient::active, this, [this, client] { slots_.touch(client); });
    connect(client, &ScpiClient::released, this, [this, client] {
        --clients_;
        slots_.release(client);
        emit statusChanged(status());
    });
    emit statusChanged(status());
    client->start();
}

} // namespace remote

#include "moc_ScpiServer.cpp"
// The header-only server it owns has its meta-object code here.
#include "moc_DescriptorServer.cpp"
