#include "WindowIdentify.h"

#include <QApplication>
#include <QFrame>

namespace panel {

WindowIdentify::WindowIdentify(QWidget* window)
    : QObject(window)
    , window_(window)
    , frame_(new QFrame(window))
{
    frame_->setObjectName("identifyFrame");
    frame_->setStyleSheet("#identifyFrame { border: 6px solid #e67e22; background: transparent; }");
    frame_->setAttribute(Qt::WA_TransparentForMouseEvents);
    frame_->hide();
    connect(&timer_, &QTimer::timeout, this, &WindowIdentify::flash);
}

void WindowIdentify::identify()
{
    if (!window_)
        return;
    window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
    window_->raise();
    window_->activateWindow();
    QApplication::alert(window_, static_cast<int>(Duration.count()));
    flashesLeft_ = static_cast<int>(Duration / FlashInterval);
    timer_.start(FlashInterval);
    flash();
}

// On and off in turn; the frame covers the whole window above its controls,
// and lets every click through.
void WindowIdentify::flash()
{
    if (flashesLeft_-- <= 0) {
        timer_.stop();
        frame_->hide();
        return;
    }
    frame_->setGeometry(window_->rect());
    frame_->raise();
    frame_->setVisible(!frame_->isVisible());
}

} // namespace panel

#include "moc_WindowIdentify.cpp"
