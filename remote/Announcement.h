#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace remote {

// What mDNS/DNS-SD announces of the panel on the local network: services
// under one name, with TXT records from the instrument's identification,
// as LXI instruments announce themselves.
struct Announcement {
    struct Service {
        QString type; // as "_vxi-11._tcp"
        QHostAddress address; // where it is served: the interface it is announced on
        quint16 port = 0;
        QStringList txt = {}; // records of this service's own, after the shared ones
    };

    // The instance name (the identification, as lxi discover --mdns shows
    // it) and the TXT records of an identification (*IDN?'s reply:
    // manufacturer, model, serial number, firmware version).
    static Announcement of(const std::string& identity);

    QString name;
    QStringList txt;
    std::vector<Service> services;
};

} // namespace remote
