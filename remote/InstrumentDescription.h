#pragma once

#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <string>
#include <vector>

namespace remote {

// What the web pages tell of the panel's instrument and its services, as
// the panel knows it when a page is asked for.
struct InstrumentDescription {
    struct Service {
        QString name; // as "VXI-11"
        QHostAddress address; // where it is served; an any address for every one
        quint16 port = 0;
        enum class Kind { Vxi11, Socket } kind;
    };

    std::string identity; // the reply to *IDN?; empty until it came
    QString linkStatus; // why the link is down, or "Up"
    std::vector<Service> services;
};

// The fields of an identification (*IDN?'s reply): manufacturer, model,
// serial number and firmware, trimmed, without control characters.
struct InstrumentIdentity {
    QString manufacturer;
    QString model;
    QString serialNumber;
    QString firmware;

    static InstrumentIdentity of(const std::string& identity);
};

// A page as one client asked for it, through the address and port it
// reached the web server on: services on an any address are named by the
// address that client reached.
struct PageRequest {
    InstrumentDescription description;
    QHostAddress reached;
    quint16 webPort = 0;

    QString hostText() const; // the reached address, as in a URL
    QString baseUrl() const; // http://host:port
    // The service's VISA resource string, as TCPIP::10.0.0.5::INSTR.
    QString resourceOf(const InstrumentDescription::Service& service) const;
    QHostAddress addressOf(const InstrumentDescription::Service& service) const;
};

} // namespace remote
