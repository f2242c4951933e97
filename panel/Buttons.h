#pragma once

#include <QPushButton>

namespace panel {

// A push button on parent, named for the code and for assistive technology,
// whose clicks run handler on receiver. It is never auto-default: in a
// dialog it would otherwise become the default button, pressed by Enter
// wherever the focus is.
template <typename Receiver>
QPushButton* addButton(QWidget* parent, const char* name, const char* caption, const char* accessibleName,
    QRect geometry, Receiver* receiver, void (Receiver::*handler)())
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(accessibleName);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, receiver, handler);
    return button;
}

} // namespace panel
