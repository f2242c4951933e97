#include "SettingScrollBarAccessible.h"

#include "SettingScrollBar.h"

namespace panel {

SettingScrollBarAccessible::SettingScrollBarAccessible(SettingScrollBar* bar)
    : QAccessibleWidget(bar, QAccessible::Slider)
{
}

QAccessibleInterface* SettingScrollBarAccessible::create(const QString&, QObject* object)
{
    auto* bar = qobject_cast<SettingScrollBar*>(object);
    return bar ? new SettingScrollBarAccessible(bar) : nullptr;
}

SettingScrollBar* SettingScrollBarAccessible::bar() const
{
    return static_cast<SettingScrollBar*>(widget());
}

void* SettingScrollBarAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString SettingScrollBarAccessible::text(QAccessible::Text kind) const
{
    if (kind == QAccessible::Value)
        return bar()->readingText(bar()->shownSetting());
    return QAccessibleWidget::text(kind);
}

QVariant SettingScrollBarAccessible::currentValue() const
{
    return bar()->reading(bar()->shownSetting());
}

// Left unset: the operator's input reaches a bar through its keys and
// mouse, which the panel holds back while it cannot send; a value set from
// here would pass that gate and show what the instrument never got.
void SettingScrollBarAccessible::setCurrentValue(const QVariant&)
{
}

QVariant SettingScrollBarAccessible::maximumValue() const
{
    return bar()->reading(bar()->topSetting());
}

QVariant SettingScrollBarAccessible::minimumValue() const
{
    return bar()->reading(bar()->bottomSetting());
}

QVariant SettingScrollBarAccessible::minimumStepSize() const
{
    return bar()->reading(1);
}

} // namespace panel
