#pragma once

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>

namespace test_support {

// Acts once on the next modal window of type Window to open: the code under
// test opens it later, inside its own event loop, so a timer that fires
// whenever events are processed watches for it.
template <typename Window> void whenModalOpens(std::function<void(Window*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, [timer, action] {
        auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
        if (!window)
            return;
        timer->stop();
        timer->deleteLater();
        action(window);
    });
    timer->start();
}

struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Records the next message box and presses its OK button.
inline void acknowledgeNextMessage(SeenMessage& seen)
{
    whenModalOpens<QMessageBox>([&seen](QMessageBox* box) {
        seen = { box->windowTitle(), box->text(), box->icon() };
        box->button(QMessageBox::Ok)->click();
    });
}

// Presses OK on every message box that opens while the returned object lives,
// after showing it to the observer, if one is given.
inline std::unique_ptr<QTimer> acknowledgeEveryMessage(std::function<void(QMessageBox*)> observer = {})
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(0);
    QObject::connect(timer.get(), &QTimer::timeout, [observer] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        if (observer)
            observer(box);
        box->button(QMessageBox::Ok)->click();
    });
    timer->start();
    return timer;
}

} // namespace test_support
