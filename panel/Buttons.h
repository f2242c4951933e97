#pragma once

#include <QPushButton>

namespace panel {

// A push button on parent, named for the code and, by its caption, for
// assistive technology, whose clicks run handler on receiver. What it does
// is its tool tip and its accessible description. It is never auto-default: in a
// dialog it would otherwise become the default button, pressed by Enter
// wherever the focus is.
template <typename Receiver>
QPushButton* addButton(QWidget* parent, const char* name, const char* caption, const char* purpose,
    QRect geometry, Receiver* receiver, void (Receiver::*handler)())
{
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setAccessibleName(QString(caption).remove('&'));
    button->setAccessibleDescription(purpose);
    button->setToolTip(purpose);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, receiver, handler);
    return button;
}

} // namespace panel
