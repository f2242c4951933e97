#include "SetupTransfer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include "CommandSet.h"
#include "RegularFile.h"

namespace session {

namespace commands = instrument::commands;

ReadBack readSettings(InstrumentLine& line)
{
    ReadBack result;
    for (const instrument::Setting& setting : instrument::Settings) {
        const usblink::Reply reply = line.ask(setting.query);
        const auto value = reply.answered() ? commands::toInteger(reply.text) : std::nullopt;
        const instrument::SettingRange range = instrument::rangeOf(setting.kind);
        if (!value || *value < range.min || *value > range.max) {
            const std::string why = !reply.answered() ? reply.text
                : value ? "\"" + reply.text + "\" is out of its range"
                        : "\"" + reply.text + "\" is not a number";
            result.problem = std::string("reading ") + setting.mnemonic + " (" + setting.query + "): " + why;
            return result;
        }
        result.values[instrument::indexOf(setting.id)] = *value;
    }
    return result;
}

instrument::SetupNotes notesOfNow(const std::string& identity, const std::string& port)
{
    return { .identity = identity,
        .port = port,
        .time = QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString(),
        .program = (QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion()).toStdString() };
}

std::string writeSetupFile(const QString& path, const std::string& text)
{
    QSaveFile file(path);
    const QByteArray bytes = QByteArray::fromStdString(text);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return "Cannot write " + path.toStdString() + ": " + file.errorString().toStdString();
    return {};
}

std::string saveSetup(InstrumentLine& line, const QString& path, const instrument::SetupNotes& notes)
{
    const ReadBack read = readSettings(line);
    if (!read.problem.empty())
        return "Nothing was saved: " + read.problem;
    return writeSetupFile(path, instrument::formatSetup(notes, read.values));
}

instrument::SetupFile readSetupFile(const QString& path)
{
    QFile file;
    if (QString why; !openRegularFile(file, path, &why))
        return instrument::SetupFile::refused("cannot read it: " + why.toStdString());
    // One byte beyond the limit tells a file that is too large.
    const QByteArray text = file.read(static_cast<qint64>(instrument::MaxSetupFileBytes) + 1);
    if (file.error() != QFileDevice::NoError)
        return instrument::SetupFile::refused("cannot read it: " + file.errorString().toStdString());
    return instrument::parseSetup(std::string_view(text.constData(), static_cast<std::size_t>(text.size())));
}

usblink::Reply applySetup(
    InstrumentLine& line, const instrument::SetupFile& setup, const std::function<void()>& readBack)
{
    for (const instrument::SetupEntry& entry : setup.entries)
        line.send(instrument::messageOf(entry));
    readBack();
    return line.ask(commands::ErrorQuery);
}

bool reportsNoError(const usblink::Reply& reply)
{
    return reply.answered() && commands::toInteger(reply.text.substr(0, reply.text.find(','))) == 0;
}

} // namespace session
