#include "LinkMonitor.h"

#include <QWidget>

#include "StatusLine.h"

namespace panel {
LinkMonitor::LinkMonitor(session::InstrumentSession& session, QWidget* window, QRect geometry,
    std::chrono::milliseconds interval, std::function<void()> reconnected)
    : QObject(window)
    , session_(session)
    , line_(new StatusLine("lblLinkStatus", "Link status",
          "The link to the instrument: why it is down and what to do; empty while all is well.", geometry, window))
    , reconnected_(std::move(reconnected))
{
    timer_.setInterval(interval);
    connect(&timer_, &QTimer::timeout, this, &LinkMonitor::attempt);
    session_.addLinkObserver([this] { show(); });
}

void LinkMonitor::showWaiting(const QString& waitingFor)
{
    waitingFor_ = waitingFor;
    show();
}

void LinkMonitor::showRemark(const QString& remark)
{
    remark_ = remark;
    show();
}

// While the link is up the line says what the panel waits for, or what the
// backend did about the link that the operator should know, or nothing.
void LinkMonitor::show()
{
    if (!session_.linkDown()) {
        timer_.stop();
        const QString notice = QString::fromStdString(session_.linkNotice());
        line_->setStatus(!waitingFor_.isEmpty() ? waitingFor_ : !notice.isEmpty() ? notice : remark_);
        return;
    }
    remark_.clear();
    const char* note = session_.notAnswering() ? SilenceNote : RetryNote;
    line_->setStatus(QString::fromStdString(session_.linkProblem() + " " + note));
    if (timer_.interval() > 0 && !timer_.isActive())
        timer_.start();
}

void LinkMonitor::attempt()
{
    if (!session_.linkDown() || session_.busy())
        return;
    session_.exclusive([this] {
        if (session_.notAnswering() ? session_.probe() : session_.reopen())
            reconnected_();
    });
}

} // namespace panel

#include "moc_LinkMonitor.cpp"
