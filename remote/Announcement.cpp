#include "Announcement.h"

#include <QHostInfo>

namespace remote {

namespace {

// A DNS label, which an instance name is, holds at most 63 bytes; a TXT
// record's string ("key=value") at most 255.
constexpr qsizetype MaxNameBytes = 63;
constexpr qsizetype MaxTxtBytes = 255;
constexpr const char* IdentityFields[] = { "Manufacturer", "Model", "SerialNumber", "FirmwareVersion" };
constexpr qsizetype SerialField = 2;

// The longest start of the text that fits in the bytes, cut between
// characters.
QString withinBytes(const QString& text, qsizetype bytes)
{
    QString cut = text;
    while (cut.toUtf8().size() > bytes)
        cut.chop(cut.size() >= 2 && cut.back().isLowSurrogate() ? 2 : 1);
    return cut;
}

// What an instrument's text may put on the network: no control characters,
// which browsers of the announcement would show or act on (an escape
// sequence in a terminal).
QString printable(const QString& text)
{
    QString kept;
    for (const QChar c : text)
        if (c.category() != QChar::Other_Control)
            kept += c;
    return kept;
}

// An identity without manufacturer and model still needs a name others can
// tell apart: the instrument's serial number, else this computer's name.
QString nameOf(const QStringList& fields)
{
    const auto field = [&](qsizetype i) { return i < fields.size() ? fields[i] : QString(); };
    if (!field(0).isEmpty() || !field(1).isEmpty())
        return fields.join(',');
    const QString serial = field(SerialField);
    return "R6140K " + (serial.isEmpty() ? QHostInfo::localHostName() : serial);
}

} // namespace

Announcement Announcement::of(const std::string& identity)
{
    QStringList fields = printable(QString::fromStdString(identity)).split(',');
    for (QString& field : fields)
        field = field.trimmed();
    Announcement announcement { withinBytes(nameOf(fields), MaxNameBytes), { "txtvers=1" }, {} };
    for (qsizetype i = 0; i < fields.size() && i < qsizetype(std::size(IdentityFields)); ++i)
        announcement.txt << withinBytes(QString("%1=%2").arg(IdentityFields[i], fields[i]), MaxTxtBytes);
    return announcement;
}

} // namespace remote
