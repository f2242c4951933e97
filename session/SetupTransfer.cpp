#include "SetupTransfer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include <algorithm>

#include "CommandSet.h"
#include "MessageSyntax.h"
#include "RegularFile.h"

namespace session {

namespace commands = instrument::commands;

namespace {

// Digits with an optional sign between optional blanks, however many.
bool isWholeNumber(std::string_view text)
{
    text = instrument::trimBlanks(text);
    if (text.starts_with('-') || text.starts_with('+'))
        text.remove_prefix(1);
    return !text.empty() && std::ranges::all_of(text, [](char c) { return c >= '0' && c <= '9'; });
}

} // namespace

ReadBack readSettings(InstrumentLine& line)
{
    ReadBack result;
    for (const instrument::Setting& setting : instrument::Settings) {
        const usblink::Reply reply = line.ask(setting.query);
        const auto value = reply.answered() ? commands::toInteger(reply.text) : std::nullopt;
        const instrument::SettingRange range = instrument::rangeOf(setting.kind);
        if (!value || *value < range.min || *value > range.max) {
            const std::string why = !reply.answered() ? reply.text
                : value || isWholeNumber(reply.text)
                ? "\"" + reply.text + "\" is out of range (" + std::to_string(range.min) + " to " + std::to_string(range.max) + ")"
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
        .program = (QCoreApplication::applicationName() + ' ' + QCoreApplication::applicationVersion()).toStdString(),
        .remarks = {} };
}

std::string writeSetupFile(const QString& path, const std::string& text)
{
    QSaveFile file(path);
    const QByteArray bytes = QByteArray::fromStdString(text);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        return "Cannot write " + path.toStdString() + ": " + file.errorString().toStdString();
    return {};
}

std::string currentSetup(InstrumentLine& line, const instrument::SetupNotes& notes, std::string* problem)
{
    const ReadBack read = readSettings(line);
    if (!read.problem.empty()) {
        *problem = "Nothing was saved: " + read.problem;
        return {};
    }
    return instrument::formatSetup(notes, read.values);
}

std::string saveSetup(InstrumentLine& line, const QString& path, const instrument::SetupNotes& notes)
{
    std::string problem;
    const std::string text = currentSetup(line, notes, &problem);
    return problem.empty() ? writeSetupFile(path, text) : problem;
}

instrument::SetupFile readSetupFile(const QString& path)
{
    QFile file;
    if (QString why; !openRegularFile(file, path, &why))
        return instrument::SetupFile::refused("cannot read it: " + why.toStdString());
    return readSetup(file);
}

instrument::SetupFile readSetup(QFile& file)
{
    std::string problem;
    const std::string text = readAtMost(file, instrument::MaxSetupFileBytes, &problem);
    return problem.empty() ? instrument::parseSetup(text) : instrument::SetupFile::refused(problem);
}

std::string readAtMost(QFile& file, std::size_t limit, std::string* problem)
{
    // One byte beyond the limit tells a file that is too large; a pipe may
    // give it in pieces.
    const auto enough = static_cast<qint64>(limit) + 1;
    QByteArray text;
    while (text.size() < enough && file.error() == QFileDevice::NoError) {
        const QByteArray piece = file.read(enough - text.size());
        if (piece.isEmpty())
            break;
        text += piece;
    }
    if (file.error() != QFileDevice::NoError) {
        *problem = "cannot read it: " + file.errorString().toStdString();
        return {};
    }
    return text.toStdString();
}

SetupApplied applySetup(InstrumentLine& line, const instrument::SetupFile& setup, const std::function<void()>& readBack)
{
    SetupApplied applied;
    applied.total = setup.entries.size();
    applied.before = drainErrors(line);
    if (!applied.before.failure.empty())
        return applied;
    for (const instrument::SetupEntry& entry : setup.entries) {
        const std::string message = instrument::messageOf(entry);
        if (!line.send(message))
            return applied;
        applied.sent.push_back(message);
    }
    readBack();
    applied.after = drainErrors(line);
    return applied;
}

std::string SetupApplied::partialText() const
{
    std::string text = std::to_string(sent.size()) + " of " + std::to_string(total) + " sent";
    if (sent.empty())
        return text + "; the instrument still holds its old setup";
    for (std::size_t i = 0; i < sent.size(); ++i)
        text += (i == 0 ? ": " : ", ") + sent[i];
    // Messages are not answered: only a reply after them shows that the
    // instrument took them all.
    if (sent.size() == total)
        return text + "; nothing answered after them (" + after.failure
            + "), so the instrument may hold a mix of the old and the new setup";
    return text + "; the instrument holds a mix of the old and the new setup";
}

} // namespace session
