#include "LinkMonitor.h"

#include <QLabel>
#include <QWidget>

#include "FittedText.h"

namespace panel {
LinkMonitor::LinkMonitor(session::InstrumentSession& session, QWidget* window, QRect geometry,
    std::chrono::milliseconds interval, std::function<void()> reconnected)
    : QObject(window)
    , session_(session)
    , label_(new QLabel(window))
    , reconnected_(std::move(reconnected))
{
    label_->setObjectName("lblLinkStatus");
    label_->setAccessibleName("Link status");
    label_->setGeometry(geometry);
    label_->setWordWrap(true);
    label_->setTextFormat(Qt::PlainText);
    label_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label_->setFocusPolicy(Qt::NoFocus);
    timer_.setInterval(interval);
    connect(&timer_, &QTimer::timeout, this, &LinkMonitor::attempt);
    session_.addLinkObserver([this] { show(); });
}

// While the link is up the line is empty, or says what the backend did
// about it that the operator should know.
void LinkMonitor::show()
{
    if (!session_.linkDown()) {
        timer_.stop();
        const QString notice = QString::fromStdString(session_.linkNotice());
        fitText(label_, notice, label_->parentWidget()->font().pointSizeF());
        return;
    }
    const char* note = session_.notAnswering() ? SilenceNote : RetryNote;
    fitText(label_, QString::fromStdString(session_.linkProblem() + " " + note),
        label_->parentWidget()->font().pointSizeF());
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
