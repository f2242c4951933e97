#include "WelcomePage.h"

#include <QHostInfo>

#include "HostText.h"
#include "Version.h"

namespace remote {

namespace {

QString escaped(const QString& text)
{
    return text.toHtmlEscaped();
}

QString row(const QString& caption, const QString& value)
{
    return "<tr><th>" + caption + "</th><td>" + escaped(value) + "</td></tr>\n";
}

QString orUnknown(const QString& text)
{
    return text.isEmpty() ? QString("not known yet") : text;
}

// The address of the page and those of the services, each once.
QStringList addressesServed(const PageRequest& request)
{
    QStringList addresses { hostText(request.reached) };
    for (const auto& service : request.description.services)
        if (const QString address = hostText(request.addressOf(service)); !addresses.contains(address))
            addresses << address;
    return addresses;
}

QString resourceRows(const PageRequest& request)
{
    QString rows;
    for (const auto& service : request.description.services)
        rows += "<tr><th>" + escaped(service.name) + "</th><td><code>" + escaped(request.resourceOf(service))
            + "</code></td></tr>\n";
    return rows.isEmpty() ? "<tr><td colspan=\"2\">None: the panel serves no script interface.</td></tr>\n" : rows;
}

QString tabs(bool withLivePanel)
{
    QString tabs = "<nav><a href=\"/\" aria-current=\"page\">Welcome</a>";
    if (withLivePanel)
        tabs += " <a href=\"/panel.html\">Front panel</a>";
    return tabs + " <a href=\"/lxi/identification\">LXI identification</a></nav>\n";
}

} // namespace

QByteArray welcomePage(const PageRequest& request, bool withLivePanel)
{
    const InstrumentIdentity identity = InstrumentIdentity::of(request.description.identity);
    const QString title = "R6140K Control Panel: " + orUnknown(identity.model);
    QString page = "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
                   "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
                   "<title>"
        + escaped(title) + "</title>\n<link rel=\"stylesheet\" href=\"/style.css\"></head>\n<body>\n" + tabs(withLivePanel)
        + "<h1>" + escaped(title) + "</h1>\n<table class=\"identity\">\n"
        + row("Manufacturer", orUnknown(identity.manufacturer)) + row("Model", orUnknown(identity.model))
        + row("Serial number", orUnknown(identity.serialNumber)) + row("Firmware", orUnknown(identity.firmware))
        + row("Host name", QHostInfo::localHostName()) + row("Addresses", addressesServed(request).join(", "))
        + row("Link status", request.description.linkStatus) + row("Served by", QString("R6140K Control Panel ") + app::VersionText)
        + "</table>\n<h2>VISA resource strings</h2>\n<table class=\"resources\">\n" + resourceRows(request)
        + "</table>\n<form method=\"post\" action=\"/identify\"><button type=\"submit\">Identify</button> "
          "makes the panel's window show itself on the desktop for a few seconds.</form>\n</body></html>\n";
    return page.toUtf8();
}

} // namespace remote
