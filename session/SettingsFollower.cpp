#include "SettingsFollower.h"

#include <QPointer>
#include <algorithm>
#include <optional>

#include "CommandSet.h"
#include "MessageSyntax.h"

namespace session {

namespace {

// Messages that change no setting, by their long-form headers.
struct Harmless {
    std::string_view header;
    bool isQuery;
};
constexpr Harmless HarmlessMessages[] = {
    { "*IDN", true },
    { "SYSTem:ERRor", true },
    { "SYSTem:REFLock", true },
    { "*CLS", false },
    { "SYSTem:CLEar", false },
    { "SYSTem:SAVE", false },
};

// What a message may have changed on the instrument.
struct Effect {
    enum class Kind { Nothing, OneSetting, Everything } kind;
    const instrument::Setting* setting = nullptr;
    std::optional<int16_t> value = std::nullopt; // what it sets, when that is a value the setting can take
};

Effect settingEffect(const instrument::Setting& setting, const instrument::MessageParts& message)
{
    if (message.isQuery)
        return { Effect::Kind::Nothing };
    const instrument::SettingRange range = instrument::rangeOf(setting.kind);
    std::optional<int16_t> value = instrument::commands::toInteger(message.arguments);
    if (value && (*value < range.min || *value > range.max))
        value.reset();
    return { Effect::Kind::OneSetting, &setting, value };
}

Effect effectOf(std::string_view line)
{
    // Several messages in one line are more than the follower reads.
    if (line.find(';') != std::string_view::npos)
        return { Effect::Kind::Everything };
    const instrument::MessageParts message = instrument::splitMessage(line);
    if (message.header.empty() && !message.isQuery)
        return { Effect::Kind::Nothing };
    for (const instrument::Setting& setting : instrument::Settings)
        if (instrument::matchesHeader(message.header, setting.mnemonic))
            return settingEffect(setting, message);
    const bool harmless = std::ranges::any_of(HarmlessMessages, [&message](const Harmless& known) {
        return known.isQuery == message.isQuery && instrument::matchesHeader(message.header, known.header);
    });
    return { harmless ? Effect::Kind::Nothing : Effect::Kind::Everything };
}

} // namespace

SettingsFollower::SettingsFollower(
    InstrumentSession& session, Panel panel, std::chrono::milliseconds quiet, QObject* parent)
    : QObject(parent)
    , session_(session)
    , panel_(std::move(panel))
{
    quiet_.setSingleShot(true);
    quiet_.setInterval(quiet);
    connect(&quiet_, &QTimer::timeout, this, &SettingsFollower::readBackWhenQuiet);
    // The session may outlive the follower.
    session_.addLineObserver([follower = QPointer(this)](InstrumentSession::Direction direction,
                                 const std::string& line, const std::string& origin) {
        if (follower && direction == InstrumentSession::Direction::Sent && origin != InstrumentSession::PanelOrigin)
            follower->follow(line);
    });
}

void SettingsFollower::follow(const std::string& line)
{
    const Effect effect = effectOf(line);
    if (effect.kind == Effect::Kind::Nothing)
        return;
    if (effect.kind == Effect::Kind::Everything)
        everything_ = true;
    if (effect.setting) {
        changed_.set(instrument::indexOf(effect.setting->id));
        if (effect.value)
            panel_.show(effect.setting->id, *effect.value);
    }
    quiet_.start();
}

// Others still at work, or the panel's own exchange running, is no quiet.
void SettingsFollower::readBackWhenQuiet()
{
    if (session_.busy()) {
        quiet_.start();
        return;
    }
    const auto changed = std::exchange(changed_, {});
    if (std::exchange(everything_, false)) {
        panel_.readBackAll();
        return;
    }
    std::vector<instrument::SettingId> settings;
    for (const instrument::Setting& setting : instrument::Settings)
        if (changed.test(instrument::indexOf(setting.id)))
            settings.push_back(setting.id);
    panel_.readBack(settings);
}

} // namespace session

#include "moc_SettingsFollower.cpp"
