#include "Announcement.h"

namespace remote {

namespace {

// A DNS label, which an instance name is, holds at most 63 bytes.
constexpr qsizetype MaxNameBytes = 63;
constexpr const char* IdentityFields[] = { "Manufacturer", "Model", "SerialNumber", "FirmwareVersion" };

QString withinLabel(const QString& name)
{
    QByteArray bytes = name.toUtf8();
    while (bytes.size() > MaxNameBytes)
        bytes = QString::fromUtf8(bytes).chopped(1).toUtf8();
    return QString::fromUtf8(bytes);
}

} // namespace

Announcement Announcement::of(const std::string& identity)
{
    const QString text = QString::fromStdString(identity).trimmed();
    Announcement announcement { withinLabel(text), { "txtvers=1" }, {} };
    const QStringList fields = text.split(',');
    for (qsizetype i = 0; i < fields.size() && i < qsizetype(std::size(IdentityFields)); ++i)
        announcement.txt << QString("%1=%2").arg(IdentityFields[i], fields[i].trimmed());
    return announcement;
}

} // namespace remote
