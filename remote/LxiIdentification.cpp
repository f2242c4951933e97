#include "LxiIdentification.h"

#include <QHostInfo>
#include <QNetworkInterface>

#include "HostText.h"
#include "Version.h"

namespace remote {

namespace {

// Text for an XML element: escaped, and without the characters XML 1.0
// cannot hold.
QString xmlText(const QString& text)
{
    QString kept;
    for (const QChar c : text)
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Surrogate)
            kept += c;
    return kept.toHtmlEscaped();
}

QString element(const QString& name, const QString& text, const QString& indent = "  ")
{
    return indent + "<" + name + ">" + xmlText(text) + "</" + name + ">\n";
}

// The network interface's mask and hardware address of an address; the
// loopback interface has none of the latter.
struct InterfaceFacts {
    QString subnetMask = "0.0.0.0";
    QString macAddress = "00:00:00:00:00:00";
    QString name;
};

InterfaceFacts factsOf(const QHostAddress& address)
{
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            if (entry.ip().isEqual(address, QHostAddress::ConvertV4MappedToIPv4)) {
                const QString mac = interface.hardwareAddress();
                return { entry.netmask().toString(), mac.isEmpty() ? InterfaceFacts {}.macAddress : mac,
                    interface.name() };
            }
    return {};
}

QString interfaceElement(const PageRequest& request, const InstrumentDescription::Service& service)
{
    const QHostAddress address = request.addressOf(service);
    const InterfaceFacts facts = factsOf(address);
    const QString ipType = address.protocol() == QAbstractSocket::IPv6Protocol ? "IPv6" : "IPv4";
    const QString indent = "    ";
    // The panel does not configure the computer's network: it states no
    // gateway, DHCP or automatic address of its own.
    return "  <Interface xsi:type=\"NetworkInformation\" InterfaceType=\"LXI\" IPType=\"" + ipType
        + "\" InterfaceName=\"" + xmlText(service.name + (facts.name.isEmpty() ? "" : " on " + facts.name)) + "\">\n"
        + element("InstrumentAddressString", request.resourceOf(service), indent)
        + element("Hostname", QHostInfo::localHostName(), indent) + element("IPAddress", address.toString(), indent)
        + element("SubnetMask", facts.subnetMask, indent) + element("MACAddress", facts.macAddress, indent)
        + element("Gateway", "0.0.0.0", indent) + element("DHCPEnabled", "false", indent)
        + element("AutoIPEnabled", "false", indent) + "  </Interface>\n";
}

} // namespace

QByteArray lxiIdentification(const PageRequest& request)
{
    const InstrumentIdentity identity = InstrumentIdentity::of(request.description.identity);
    const QString base = request.baseUrl();
    QString document = QString("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<LXIDevice xmlns=\"%1\" "
                               "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n")
                           .arg(LxiIdentificationNamespace);
    document += element("Manufacturer", identity.manufacturer) + element("Model", identity.model)
        + element("SerialNumber", identity.serialNumber) + element("FirmwareRevision", identity.firmware)
        + element("ManufacturerDescription",
            "R6140K I/Q upconverter, served by the R6140K Control Panel " + QString(app::VersionText))
        + element("HomepageURL", base + "/") + element("DriverURL", base + "/r6140k.py")
        + element("UserDescription", "R6140K Control Panel on " + QHostInfo::localHostName())
        + element("IdentificationURL", base + "/lxi/identification");
    for (const auto& service : request.description.services)
        document += interfaceElement(request, service);
    document += element("LXIVersion", "1.4") + "</LXIDevice>\n";
    return document.toUtf8();
}

} // namespace remote
