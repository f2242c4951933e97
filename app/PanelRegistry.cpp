#include "PanelRegistry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSerialPortInfo>
#include <QTextStream>

#include "NetworkBridge.h"
#include "RegularFile.h"

namespace app {

namespace {

// The user's runtime folder, private to the user and emptied at log-out;
// without one (no login session) nothing is published or looked up.
QString recordFolder()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return runtime.isEmpty() ? QString() : runtime + "/r6140k-panel";
}

QString recordOf(long pid)
{
    return recordFolder() + '/' + QString::number(pid);
}

constexpr QFile::Permissions OwnerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadUser
    | QFile::WriteUser | QFile::ExeUser;

// Why a record or its folder is not the user's own, or empty when it is.
std::string distrustOf(const QString& path)
{
    const QFileInfo info(path);
    if (info.isSymLink())
        return "it is a symbolic link";
    if (!ownedByThisUser(info))
        return "it belongs to another user";
    if (info.permissions() & ~OwnerOnly)
        return "other users may use it";
    return {};
}

// Where this process published itself, to be removed at its end.
QString& publishedRecord()
{
    static QString path;
    return path;
}

// One "name value" pair a line.
std::optional<PublishedPanel> readRecord(const QString& path, long pid)
{
    QFile file;
    if (QString why; !session::openRegularFile(file, path, &why))
        return std::nullopt;
    PublishedPanel panel;
    panel.pid = pid;
    QTextStream in(&file);
    for (QString line; in.readLineInto(&line);) {
        const QString name = line.section(' ', 0, 0);
        const QString value = line.section(' ', 1);
        if (name == "host")
            panel.host = value.toStdString();
        else if (name == "port")
            panel.port = value.toUShort();
        else if (name == "line")
            panel.line = value.toStdString();
        else if (name == "entry")
            panel.entry = value.toStdString();
        else if (name == "started")
            panel.started = value.toULongLong();
    }
    return panel;
}

std::string listedText(usblink::BridgeLibrary& bridge, int32_t index, uint32_t which)
{
    char text[usblink::ListTextSize] = {};
    const auto at = reinterpret_cast<void*>(static_cast<uintptr_t>(index));
    if (bridge.FT_ListDevices(at, text, usblink::FT_LIST_BY_INDEX | which) != usblink::FT_OK)
        return {};
    return text;
}

QString canonicalPath(const QString& path)
{
    const QString canonical = QFileInfo(path).canonicalFilePath();
    return canonical.isEmpty() ? path : canonical;
}

} // namespace

bool publishPanel(const PublishedPanel& panel)
{
    if (recordFolder().isEmpty() || !QDir().mkpath(recordFolder())
        || !QFile::setPermissions(recordFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)
        || !distrustOf(recordFolder()).empty())
        return false;
    const QString path = recordOf(QCoreApplication::applicationPid());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QTextStream out(&file);
    out << "host " << QString::fromStdString(panel.host) << "\nport " << panel.port << "\nline "
        << QString::fromStdString(panel.line) << "\nentry " << QString::fromStdString(panel.entry) << "\nstarted "
        << startOfOwnProcess(QCoreApplication::applicationPid()) << '\n';
    out.flush();
    if (!file.commit() || !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner))
        return false;
    publishedRecord() = path;
    return true;
}

void withdrawPanel()
{
    if (!publishedRecord().isEmpty())
        QFile::remove(publishedRecord());
}

std::optional<PublishedPanel> panelHolding(
    const std::string& line, const std::function<void(const std::string&)>& warn)
{
    if (recordFolder().isEmpty() || !QFileInfo::exists(recordFolder()))
        return std::nullopt;
    if (const std::string why = distrustOf(recordFolder()); !why.empty()) {
        warn("ignoring the panels published in " + recordFolder().toStdString() + ": " + why);
        return std::nullopt;
    }
    QDir folder(recordFolder());
    for (const QString& name : folder.entryList(QDir::Files | QDir::System)) {
        bool isPid = false;
        const long pid = name.toLong(&isPid);
        if (!isPid)
            continue;
        if (const std::string why = distrustOf(folder.filePath(name)); !why.empty()) {
            warn("ignoring " + folder.filePath(name).toStdString() + ": " + why);
            continue;
        }
        if (!processRunning(pid)) {
            folder.remove(name);
            continue;
        }
        // A pid now another process's, perhaps another user's: the panel
        // that published it was killed.
        const auto panel = readRecord(folder.filePath(name), pid);
        if (panel && panel->started != 0 && panel->started == startOfOwnProcess(pid) && panel->line == line)
            return panel;
    }
    return std::nullopt;
}

std::string lineOfListed(usblink::BridgeLibrary& bridge, int32_t index)
{
    const std::string serial = listedText(bridge, index, usblink::FT_OPEN_BY_SERIAL_NUMBER);
    if (usblink::NetworkAddress::parse(serial))
        return serial;
    const QString text = QString::fromStdString(serial);
    if (QFileInfo(text).isAbsolute())
        return canonicalPath(text).toStdString();
    for (const QSerialPortInfo& port : QSerialPortInfo::availablePorts())
        if (port.serialNumber() == text)
            return canonicalPath(port.systemLocation()).toStdString();
    return "serial number " + serial;
}

} // namespace app
