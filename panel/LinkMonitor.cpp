#include "LinkMonitor.h"

#include <QLabel>
#include <QWidget>

namespace panel {
namespace {

constexpr double SmallestPointSize = 6.0;

// The status line has a fixed place: a long text is set in a smaller font
// until it fits, and is always in the tooltip as well.
void fitText(QLabel* label, const QString& text, double pointSize)
{
    label->setText(text);
    label->setToolTip(text);
    QFont font = label->font();
    for (double size = pointSize; size >= SmallestPointSize; size -= 0.5) {
        font.setPointSizeF(size);
        label->setFont(font);
        if (label->heightForWidth(label->width()) <= label->height())
            return;
    }
}

} // namespace

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
