#include "Vxi11Server.h"

#include <QTcpSocket>

#include "HostText.h"
#include "Vxi11Connection.h"

namespace remote {

Vxi11Server::Vxi11Server(session::InstrumentSession& session, ClientSlots& clientSlots, QObject* parent)
    : QObject(parent)
    , slots_(clientSlots)
    , device_(session, clientSlots)
{
    connect(&core_, &QTcpServer::newConnection, this, [this] { takeConnections(core_, vxi11::CoreProgram); });
    connect(&abort_, &QTcpServer::newConnection, this, [this] { takeConnections(abort_, vxi11::AbortProgram); });
    connect(&device_, &Vxi11Device::linksChanged, this, [this] { emit statusChanged(status()); });
}

bool Vxi11Server::listen(const QHostAddress& host)
{
    if (!listen(core_, host) || !listen(abort_, host))
        return false;
    device_.setAbortPort(abort_.serverPort());
    emit statusChanged(status());
    return true;
}

bool Vxi11Server::listen(QTcpServer& server, const QHostAddress& host)
{
    if (server.listen(host, 0))
        return true;
    errorString_ = server.errorString();
    return false;
}

QString Vxi11Server::status() const
{
    if (!core_.isListening())
        return {};
    const int links = linkCount();
    const QString count = links == 0 ? QString("no link") : links == 1 ? QString("1 link") : QString("%1 links").arg(links);
    return QString("VXI-11 %1 on %2, %3").arg(Vxi11Device::Name, hostText(address()), count);
}

void Vxi11Server::takeConnections(QTcpServer& server, uint32_t program)
{
    const bool core = program == vxi11::CoreProgram;
    int& connections = core ? connections_ : abortConnections_;
    while (QTcpSocket* socket = server.nextPendingConnection()) {
        if (connections >= (core ? MaxConnections : MaxAbortConnections)) {
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->abort();
            slots_.noteRefused();
            continue;
        }
        auto* connection = new Vxi11Connection(socket, device_, program, this);
        ++connections;
        connect(connection, &Vxi11Connection::finished, this, [&connections, connection] {
            --connections;
            connection->deleteLater();
        });
        connection->start();
    }
}

} // namespace remote

#include "moc_Vxi11Server.cpp"
