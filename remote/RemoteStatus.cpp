#include "RemoteStatus.h"

#include <QRegularExpression>

#include "ScpiServer.h"
#include "Vxi11Server.h"
#include "WebServer.h"

namespace remote {

RemoteStatus::RemoteStatus(const ClientSlots& clientSlots, QObject* parent)
    : QObject(parent)
    , slots_(clientSlots)
{
    connect(&slots_, &ClientSlots::changed, this, &RemoteStatus::update);
}

void RemoteStatus::watch(const ScpiServer& server)
{
    socket_ = &server;
    connect(&server, &ScpiServer::statusChanged, this, &RemoteStatus::update);
    update();
}

void RemoteStatus::watch(const Vxi11Server& server)
{
    vxi11_ = &server;
    connect(&server, &Vxi11Server::statusChanged, this, &RemoteStatus::update);
    update();
}

void RemoteStatus::watch(const WebServer& server)
{
    web_ = &server;
    update();
}

void RemoteStatus::setNote(Note note, const QString& text)
{
    if (text.isEmpty())
        notes_.erase(note);
    else
        notes_[note] = text;
    update();
}

QString RemoteStatus::text() const
{
    QStringList servers;
    if (vxi11_)
        servers << vxi11_->status();
    if (socket_)
        servers << socket_->status();
    if (web_)
        servers << web_->status();
    servers.removeAll(QString());
    QString line = servers.join("; ");
    if (slots_.refused() > 0 && !line.isEmpty())
        line += QString(", %1 refused").arg(slots_.refused());
    QStringList notes;
    for (const auto& [note, text] : notes_)
        notes << text;
    return QStringList { line, notes.join(' ') }.filter(QRegularExpression(".")).join('\n');
}

void RemoteStatus::update()
{
    emit changed(text());
}

} // namespace remote

#include "moc_RemoteStatus.cpp"
