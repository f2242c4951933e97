#pragma once

#include <QObject>
#include <QString>
#include <memory>

#include "Announcement.h"

namespace remote {

// Announces the panel's services by mDNS/DNS-SD through the machine's
// avahi-daemon, so that LAN tools (lxi discover --mdns, avahi-browse) find
// it. A daemon that is not running yet is waited for; the announcement goes
// with the object, or with the process, which the daemon notices.
class ServiceAnnouncer : public QObject {
    Q_OBJECT
public:
    explicit ServiceAnnouncer(QObject* parent = nullptr);
    ~ServiceAnnouncer() override;

    // Announces these services, in place of any announced before.
    void announce(const Announcement& announcement);

signals:
    // Why the services are not announced, in words for the user; empty
    // once they are.
    void problemChanged(const QString& problem);

private:
    struct Avahi;
    std::unique_ptr<Avahi> avahi_;
};

} // namespace remote
