#include "ControlHelp.h"

#include "SettingText.h"
#include "SliderSteps.h"

namespace panel {

namespace {

QString messageOf(const instrument::Setting& setting)
{
    return QString(setting.prefix).trimmed();
}

QString rangeText(instrument::SettingKind kind)
{
    const instrument::SettingRange range = instrument::rangeOf(kind);
    if (kind == instrument::SettingKind::Attenuator)
        return QString("%1 to %2, in steps of %3").arg(valueText(kind, range.min), valueText(kind, range.max),
            valueText(kind, 1));
    return QString("%1 to %2 counts").arg(range.min).arg(range.max);
}

QString stepOf(instrument::SettingKind kind, int steps)
{
    if (kind == instrument::SettingKind::Attenuator)
        return valueText(kind, steps);
    return QString("%1 %2").arg(steps).arg(steps == 1 ? "count" : "counts");
}

} // namespace

QString sliderHelp(const instrument::Setting& setting, const QString& purpose, int pageStep)
{
    const instrument::SettingKind kind = setting.kind;
    const SliderSteps coarse = sliderStepsOf(kind);
    return QString("%1: sends %2 with the value, %3.\n"
                   "Up/Down: %4; with Shift: %5; with Ctrl: %6.\n"
                   "Page Up/Page Down: %7; Home/End: the ends.\n"
                   "Type a digit, or double-click the value, to enter it exactly.\n"
                   "The mouse wheel moves it as Up/Down do once it has the focus, Shift and Ctrl too.\n"
                   "Ctrl+Z undoes a change, Ctrl+Shift+Z redoes it; a right-click offers Set value….")
        .arg(purpose, messageOf(setting), rangeText(kind), stepOf(kind, 1), stepOf(kind, coarse.shift),
            stepOf(kind, coarse.ctrl), stepOf(kind, pageStep));
}

QString toggleHelp(const instrument::Setting& setting, const QString& purpose)
{
    return QString("%1: sends %2 0 or %2 1.\nA click, Space or Enter switches it.").arg(purpose, messageOf(setting));
}

QString valueLabelHelp(const instrument::Setting& setting)
{
    return QString("The value of %1; double-click it to type the exact value.").arg(messageOf(setting));
}

} // namespace panel
