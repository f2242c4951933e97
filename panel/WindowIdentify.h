#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <chrono>

class QFrame;
class QWidget;

namespace panel {

// Shows the operator which window a browser's "Identify" meant: brings it
// up (restored, raised, activated), asks the desktop to draw attention to
// it, and flashes a frame around its contents a few times, for Duration.
class WindowIdentify : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds Duration { 3000 };
    static constexpr std::chrono::milliseconds FlashInterval { 250 };

    explicit WindowIdentify(QWidget* window);

    void identify();
    bool flashing() const { return timer_.isActive(); }

private:
    void flash();

    QPointer<QWidget> window_;
    QFrame* frame_;
    QTimer timer_;
    int flashesLeft_ = 0;
};

} // namespace panel
