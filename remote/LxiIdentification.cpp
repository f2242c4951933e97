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

// One network interface as LXI clients read it: where it is reached, and
// the address string a client opens the instrument with there.
struct ServedInterface {
    QString name;
    QHostAddress address;
    QString addressString;
};

QString interfaceElement(const ServedInterface& served)
{
    const InterfaceFacts facts = factsOf(served.address);
    const QString ipType = served.address.protocol() == QAbstractSocket::IPv6Protocol ? "IPv6" : "IPv4";
    const QString indent = "    ";
    // The panel does not configure the computer's network: it states no
    // gateway, DHCP or automatic address of its own.
    return "  <Interface xsi:type=\"NetworkInformation\" InterfaceType=\"LXI\" IPType=\"" + ipType
        + "\" InterfaceName=\"" + xmlText(served.name + (facts.name.isEmpty() ? "" : " on " + facts.name)) + "\">\n"
        + element("InstrumentAddressString", served.addressString, indent)
        + element("Hostname", QHostInfo::localHostName(), indent)
        + element("IPAddress", served.address.toString(), indent) + element("SubnetMask", facts.subnetMask, indent)
        + element("MACAddress", facts.macAddress, indent) + element("Gateway", "0.0.0.0", indent)
        + element("DHCPEnabled", "false", indent) + element("AutoIPEnabled", "false", indent) + "  </Interface>\n";
}

// Each service's interface; with none but the web pages, theirs, whose
// address is the page's URL: the document holds at least one interface,
// and what a client then reaches the instrument by is the page.
std::vector<ServedInterface> servedInterfaces(const PageRequest& request)
{
    std::vector<ServedInterface> served;
    for (const auto& service : request.description.services)
        served.push_back({ service.name, request.addressOf(service), request.resourceOf(service) });
    if (served.empty())
        served.push_back({ "Web pages", request.reached, request.baseUrl() + "/" });
    return served;
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
    for (const auto& served : servedInterfaces(request))
        document += interfaceElement(served);
    document += element("LXIVersion", "1.4") + "</LXIDevice>\n";
    return document.toUtf8();
}

} // namespace remote
