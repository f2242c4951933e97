#include "SettingText.h"

#include <QRegularExpression>

namespace panel {

namespace {

QString rangeProblem(instrument::SettingKind kind)
{
    const instrument::SettingRange range = instrument::rangeOf(kind);
    return QString("Out of range: %1 to %2").arg(valueText(kind, range.min), valueText(kind, range.max));
}

// A whole count; one too long for any integer type is out of range all the same.
TypedSetting offsetFromText(const QString& text)
{
    static const QRegularExpression wholeNumber(R"(^\s*[+-]?[0-9]+\s*$)");
    if (!wholeNumber.match(text).hasMatch())
        return { std::nullopt, "Not a whole number" };
    bool fits = false;
    const qlonglong count = text.toLongLong(&fits);
    const instrument::SettingRange range = instrument::rangeOf(instrument::SettingKind::Offset);
    if (!fits || count < range.min || count > range.max)
        return { std::nullopt, rangeProblem(instrument::SettingKind::Offset) };
    return { static_cast<int>(count), {} };
}

TypedSetting attenuatorFromText(const QString& text)
{
    static const QRegularExpression decibels(
        R"(^\s*([+-]?([0-9]+\.?[0-9]*|\.[0-9]+))\s*(dB)?\s*$)", QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = decibels.match(text);
    if (!match.hasMatch())
        return { std::nullopt, "Not a number of decibels" };
    const int64_t steps = instrument::stepsOf(match.captured(1).toDouble());
    const instrument::SettingRange range = instrument::rangeOf(instrument::SettingKind::Attenuator);
    if (steps < range.min || steps > range.max)
        return { std::nullopt, rangeProblem(instrument::SettingKind::Attenuator) };
    return { static_cast<int>(steps), {} };
}

} // namespace

QString valueText(instrument::SettingKind kind, int value)
{
    if (kind == instrument::SettingKind::Attenuator)
        return QString::number(instrument::decibelsOf(value), 'g', 10) + " dB";
    return QString::number(value);
}

TypedSetting settingFromText(instrument::SettingKind kind, const QString& text)
{
    return kind == instrument::SettingKind::Attenuator ? attenuatorFromText(text) : offsetFromText(text);
}

} // namespace panel
