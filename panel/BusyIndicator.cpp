#include "BusyIndicator.h"

#include <QWidget>
#include <utility>

#include "LinkMonitor.h"

namespace panel {

BusyIndicator::BusyIndicator(session::InstrumentSession& session, QWidget* window, LinkMonitor& monitor)
    : QObject(window)
    , session_(session)
    , window_(window)
    , monitor_(monitor)
{
    session_.addWaitObserver([this] { follow(); });
}

BusyIndicator::Activity::Activity(BusyIndicator& indicator, QString name)
    : indicator_(indicator)
    , outer_(std::exchange(indicator.activity_, std::move(name)))
{
}

BusyIndicator::Activity::~Activity()
{
    indicator_.activity_ = outer_;
}

void BusyIndicator::follow()
{
    if (!session_.panelExchangeRunning()) {
        began_.reset();
        show({});
        return;
    }
    const auto& awaited = session_.awaitedReply();
    if (!began_ && awaited)
        began_ = awaited->since;
    if (began_ && session_.now() - *began_ > ShownAfter)
        show(waitingFor());
}

// Between the queries of an activity, what it is; between others', what
// was awaited last.
QString BusyIndicator::waitingFor() const
{
    if (!activity_.isEmpty())
        return activity_;
    const auto& awaited = session_.awaitedReply();
    if (!awaited)
        return shownText_;
    return "Waiting for the instrument's reply to " + QString::fromStdString(awaited->query);
}

void BusyIndicator::show(const QString& text)
{
    if (text == shownText_)
        return;
    shownText_ = text;
    if (text.isEmpty())
        window_->unsetCursor();
    else
        window_->setCursor(Qt::BusyCursor);
    monitor_.showWaiting(text);
}

} // namespace panel
