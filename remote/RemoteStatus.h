#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <map>

#include "ClientSlots.h"

namespace remote {

class ScpiServer;
class Vxi11Server;
class WebServer;

// The status line of remote access, for the main window: where the servers
// (the web pages' among them) serve and how many clients each has, the
// clients refused since the last one came in; then, on a line of their own,
// the notes (what is exposed, what is missing).
class RemoteStatus : public QObject {
    Q_OBJECT
public:
    enum class Note { Exposure, PortMapper, Announcement, BrowserControl };

    explicit RemoteStatus(const ClientSlots& clientSlots, QObject* parent = nullptr);

    void watch(const ScpiServer& server);
    void watch(const Vxi11Server& server);
    void watch(const WebServer& server);
    // Shows a note until it is replaced; an empty text removes it.
    void setNote(Note note, const QString& text);

    QString text() const;

signals:
    void changed(const QString& text);

private:
    void update();

    const ClientSlots& slots_;
    const ScpiServer* socket_ = nullptr;
    const Vxi11Server* vxi11_ = nullptr;
    const WebServer* web_ = nullptr;
    std::map<Note, QString> notes_;
};

} // namespace remote
