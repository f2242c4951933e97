#include "LiveState.h"

#include <QJsonArray>

#include "CommandSet.h"
#include "SettingMessage.h"

namespace remote {

namespace {

const QString NotReadYet = "Not read from the instrument yet";
const QString ResetNotReadBack = "Reset or recalled; not read back yet";

// The value in its unit, as the desktop panel writes it.
QString valueText(instrument::SettingKind kind, int value)
{
    if (kind == instrument::SettingKind::Attenuator)
        return QString::fromStdString(instrument::decibelText(value)) + " dB";
    return QString::number(value);
}

const instrument::Setting* settingQueried(const std::string& query)
{
    for (const auto& setting : instrument::Settings)
        if (query == setting.query)
            return &setting;
    return nullptr;
}

bool resetsEverything(const std::string& unit)
{
    const std::string_view text = unit.starts_with(':') ? std::string_view(unit).substr(1) : std::string_view(unit);
    return text == instrument::commands::Reset || text.starts_with(instrument::commands::RecallStatePrefix);
}

const char* directionName(session::InstrumentSession::Direction direction)
{
    using Direction = session::InstrumentSession::Direction;
    switch (direction) {
    case Direction::Sent:
        return ">";
    case Direction::Received:
        return "<";
    case Direction::Refused:
        return "refused";
    case Direction::Note:
        return "note";
    }
    return "";
}

} // namespace

LiveState::LiveState(session::InstrumentSession& session, QObject* parent)
    : QObject(parent)
    , session_(session)
{
    values_.fill({ std::nullopt, NotReadYet });
    session.addLineObserver([this](auto direction, const std::string& line, const std::string& origin) {
        observe(direction, line, origin);
    });
    session.addLinkObserver([this] { linkChanged(); });
}

void LiveState::observe(session::InstrumentSession::Direction direction, const std::string& line,
    const std::string& origin)
{
    using Direction = session::InstrumentSession::Direction;
    if (direction == Direction::Sent)
        sent(line);
    else if (direction == Direction::Received)
        received(line);
    log_.push_back(QString("%1 %2 %3").arg(QString::fromStdString(origin), directionName(direction),
        QString::fromStdString(line)));
    if (log_.size() > LogLines)
        log_.pop_front();
    emit changed({ { "type", "log" }, { "line", log_.back() } });
}

void LiveState::sent(const std::string& line)
{
    awaited_.clear();
    std::size_t from = 0;
    while (from <= line.size()) {
        const std::size_t end = std::min(line.find(';', from), line.size());
        const std::string unit = line.substr(from, end - from);
        from = end + 1;
        if (unit.ends_with('?')) {
            awaited_ = unit;
            continue;
        }
        if (resetsEverything(unit)) {
            markEveryValueUnknown(ResetNotReadBack);
            continue;
        }
        const instrument::SettingMessage message = instrument::readSettingMessage(unit);
        if (message.setting && message.problem.empty())
            setValue(message.setting->id, { message.value, {} });
    }
}

void LiveState::received(const std::string& line)
{
    const std::string query = std::exchange(awaited_, {});
    if (query == instrument::commands::ReferenceLockQuery) {
        lock_ = QString::fromStdString(line);
        emit changed(lockPart());
        return;
    }
    const instrument::Setting* setting = settingQueried(query);
    if (!setting)
        return;
    const auto value = instrument::commands::toInteger(line);
    const auto range = instrument::rangeOf(setting->kind);
    if (value && *value >= range.min && *value <= range.max)
        setValue(setting->id, { int(*value), {} });
    else
        setValue(setting->id, { std::nullopt, "The instrument answered " + QString::fromStdString(line) });
}

void LiveState::setValue(instrument::SettingId id, Value value)
{
    Value& held = values_[instrument::indexOf(id)];
    if (held.value == value.value && held.reason == value.reason)
        return;
    held = std::move(value);
    emit changed(settingPart(instrument::indexOf(id)));
}

void LiveState::markEveryValueUnknown(const QString& reason)
{
    for (const auto& setting : instrument::Settings)
        setValue(setting.id, { std::nullopt, reason });
}

void LiveState::linkChanged()
{
    if (session_.linkDown())
        markEveryValueUnknown(QString::fromStdString(session_.linkProblem()));
    emit changed(linkPart());
}

void LiveState::setRemoteStatus(const QString& status)
{
    remote_ = status;
    emit changed({ { "type", "remote" }, { "text", remote_ } });
}

QJsonObject LiveState::settingPart(std::size_t index) const
{
    const instrument::Setting& setting = instrument::Settings[index];
    const Value& held = values_[index];
    QJsonObject part { { "type", "setting" }, { "name", setting.mnemonic }, { "kind", instrument::kindNameOf(setting.kind) },
        { "min", instrument::rangeOf(setting.kind).min }, { "max", instrument::rangeOf(setting.kind).max } };
    if (held.value) {
        part["value"] = *held.value;
        part["text"] = valueText(setting.kind, *held.value);
    } else {
        part["reason"] = held.reason;
    }
    return part;
}

QJsonObject LiveState::lockPart() const
{
    return { { "type", "lock" }, { "text", lock_.isEmpty() ? QString("?") : lock_ } };
}

QJsonObject LiveState::linkPart() const
{
    const QString problem = QString::fromStdString(session_.linkProblem());
    return { { "type", "link" }, { "text", problem.isEmpty() ? QString("Up") : problem } };
}

QJsonObject LiveState::whole() const
{
    QJsonArray settings;
    for (std::size_t i = 0; i < instrument::SettingCount; ++i)
        settings.append(settingPart(i));
    QJsonArray log;
    for (const QString& line : log_)
        log.append(line);
    return { { "type", "state" }, { "settings", settings }, { "lock", lockPart()["text"] },
        { "link", linkPart()["text"] }, { "remote", remote_ }, { "log", log } };
}

} // namespace remote

#include "moc_LiveState.cpp"
