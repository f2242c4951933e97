#include "SettingMessage.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "MessageSyntax.h"

namespace instrument {

namespace {

const Setting* settingNamed(std::string_view header)
{
    const auto found = std::ranges::find_if(Settings, [header](const Setting& s) { return matchesHeader(header, s.mnemonic); });
    return found == Settings.end() ? nullptr : &*found;
}

std::string_view withoutPlus(std::string_view text)
{
    if (text.starts_with('+') && !text.starts_with("+-"))
        text.remove_prefix(1);
    return text;
}

// A decimal integer with an optional sign, or nothing.
std::optional<int64_t> integerIn(std::string_view text)
{
    text = withoutPlus(text);
    int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error == std::errc::result_out_of_range)
        return text.starts_with('-') ? INT64_MIN : INT64_MAX;
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::optional<double> decimalIn(std::string_view text)
{
    text = withoutPlus(text);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string wholeNumberProblem(const Setting& setting, std::string_view argument)
{
    const auto decibels = setting.kind == SettingKind::Attenuator ? decimalIn(argument) : std::nullopt;
    if (!decibels)
        return std::string(setting.mnemonic) + " needs a whole number, not \"" + std::string(argument) + "\"";
    return std::string(setting.mnemonic) + " counts steps of 1/8 dB: " + std::string(argument) + " dB would be "
        + std::to_string(stepsOf(*decibels)) + " steps";
}

} // namespace

SettingMessage readSettingMessage(std::string_view unit)
{
    const MessageParts parts = splitMessage(unit);
    SettingMessage message;
    message.setting = settingNamed(parts.header);
    if (!message.setting)
        return message;
    const auto value = integerIn(parts.arguments);
    if (!value) {
        message.problem = wholeNumberProblem(*message.setting, parts.arguments);
        return message;
    }
    const SettingRange range = rangeOf(message.setting->kind);
    if (*value < range.min || *value > range.max)
        message.problem = std::string(parts.arguments) + " is out of range for " + message.setting->mnemonic + " ("
            + std::to_string(range.min) + " to " + std::to_string(range.max) + ")";
    else
        message.value = static_cast<int32_t>(*value);
    return message;
}

std::string decibelText(int32_t steps)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", decibelsOf(steps));
    return text;
}

std::string namedValues(const Setting& setting, int32_t value)
{
    std::string text = std::string(setting.mnemonic) + " " + std::to_string(value);
    if (setting.kind == SettingKind::Attenuator)
        text += ", " + std::string(setting.mnemonic) + DecibelSuffix + " " + decibelText(value);
    return text;
}

} // namespace instrument
