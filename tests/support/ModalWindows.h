#pragma once

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <source_location>

#include "EventLoop.h"

namespace test_support {

// Acts on every modal window of type Window that opens while the returned
// timer lives: the code under test opens it inside its own event loop, so a
// timer that fires whenever events are processed watches for it.
template <typename Window> std::unique_ptr<QTimer> onEveryModal(std::function<void(Window*)> action)
{
    auto timer = std::make_unique<QTimer>();
    timer->setInterval(0);
    QObject::connect(timer.get(), &QTimer::timeout, [action] {
        if (auto* window = qobject_cast<Window*>(QApplication::activeModalWidget()))
            action(window);
    });
    timer->start();
    return timer;
}

// Acts once on the next modal window to open, which must be of the expected
// type and open before the watch ends: otherwise the test fails where the
// watch was set. Once the test has failed, the window is closed after the
// action, so that a check that failed inside it cannot leave the test
// waiting in the window's event loop for ever.
class [[nodiscard]] ModalWatch {
public:
    template <typename Window>
    ModalWatch(std::function<void(Window*)> action, std::source_location where)
        : where_(where)
    {
        timer_.setInterval(0);
        QObject::connect(&timer_, &QTimer::timeout, [this, action] {
            auto* window = qobject_cast<Window*>(QApplication::activeModalWidget());
            if (!window)
                return;
            timer_.stop();
            opened_ = true;
            action(window);
            if (testing::Test::HasFailure() && window->isVisible())
                window->close();
        });
        timer_.start();
    }

    ~ModalWatch()
    {
        if (!opened_)
            ADD_FAILURE_AT(where_.file_name(), static_cast<int>(where_.line())) << "the awaited window never opened";
    }

    ModalWatch(const ModalWatch&) = delete;
    ModalWatch& operator=(const ModalWatch&) = delete;

private:
    QTimer timer_;
    bool opened_ = false;
    std::source_location where_;
};

// Keep the result while the code that opens the window runs:
//   const auto watch = whenModalOpens<frmSelect>(...); main.Form_Load();
template <typename Window>
ModalWatch whenModalOpens(
    std::function<void(Window*)> action, std::source_location where = std::source_location::current())
{
    return ModalWatch(std::move(action), where);
}

struct SeenMessage {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Records the next message box and presses its OK button.
inline ModalWatch acknowledgeNextMessage(
    SeenMessage& seen, std::source_location where = std::source_location::current())
{
    return whenModalOpens<QMessageBox>(
        [&seen](QMessageBox* box) {
            seen = { box->windowTitle(), box->text(), box->icon() };
            box->button(QMessageBox::Ok)->click();
        },
        where);
}

// The next message box, which opens once the exchange that has its outcome
// has run, recorded and acknowledged.
inline SeenMessage awaitMessage(std::source_location where = std::source_location::current())
{
    SeenMessage seen;
    const auto watch = acknowledgeNextMessage(seen, where);
    EXPECT_TRUE(pumpUntil([&seen] { return !seen.text.isEmpty(); }));
    return seen;
}

// Picks the path in the next file dialog.
inline ModalWatch chooseInNextFileDialog(const QString& chosen, std::source_location where = std::source_location::current())
{
    return whenModalOpens<QFileDialog>(
        [chosen](QFileDialog* dialog) {
            dialog->selectFile(chosen);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
        },
        where);
}

// Presses OK on every message box that opens while the returned object lives,
// after showing it to the observer, if one is given.
inline std::unique_ptr<QTimer> acknowledgeEveryMessage(std::function<void(QMessageBox*)> observer = {})
{
    return onEveryModal<QMessageBox>([observer](QMessageBox* box) {
        if (observer)
            observer(box);
        box->button(QMessageBox::Ok)->click();
    });
}

} // namespace test_support
