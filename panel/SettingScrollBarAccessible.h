#pragma once

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

namespace panel {

class SettingScrollBar;

// What assistive technology learns of a SettingScrollBar: a slider whose
// value, range and step are the setting's as the operator reads it (500 for
// an offset of 500 counts, 5.125 for 5.125 dB), not the negated positions
// the bar runs over, and whose value text carries the unit.
class SettingScrollBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit SettingScrollBarAccessible(SettingScrollBar* bar);

    // The factory that QAccessible asks for every object.
    static QAccessibleInterface* create(const QString& className, QObject* object);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text kind) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override;
    QVariant minimumValue() const override;
    QVariant minimumStepSize() const override;

private:
    SettingScrollBar* bar() const;
};

} // namespace panel
