#include "InstrumentDescription.h"

#include "HostText.h"

namespace remote {

InstrumentIdentity InstrumentIdentity::of(const std::string& identity)
{
    QString kept;
    for (const QChar c : QString::fromStdString(identity))
        if (c.category() != QChar::Other_Control)
            kept += c;
    QStringList fields = kept.split(',');
    // A firmware version may hold commas of its own: it is the rest.
    while (fields.size() > 4)
        fields[3] += ',' + fields.takeLast();
    fields.resize(4);
    return { fields[0].trimmed(), fields[1].trimmed(), fields[2].trimmed(), fields[3].trimmed() };
}

QString PageRequest::hostText() const
{
    return remote::hostText(reached);
}

QString PageRequest::baseUrl() const
{
    return "http://" + hostText() + (webPort == 80 ? QString() : ':' + QString::number(webPort));
}

QHostAddress PageRequest::addressOf(const InstrumentDescription::Service& service) const
{
    const QHostAddress& address = service.address;
    const bool any = address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6 || address == QHostAddress::Any;
    return any ? reached : address;
}

QString PageRequest::resourceOf(const InstrumentDescription::Service& service) const
{
    const QString host = remote::hostText(addressOf(service));
    switch (service.kind) {
    case InstrumentDescription::Service::Kind::Vxi11:
        return "TCPIP::" + host + "::INSTR";
    case InstrumentDescription::Service::Kind::Socket:
        return "TCPIP::" + host + "::" + QString::number(service.port) + "::SOCKET";
    }
    return {};
}

} // namespace remote
