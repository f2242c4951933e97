#include "ServiceBrowser.h"

#include <QTimer>

namespace remote {

struct ServiceBrowser::Avahi { };

ServiceBrowser::ServiceBrowser(QStringList, QObject* parent)
    : QObject(parent)
{
    QTimer::singleShot(0, this, [this] { emit problem("No mDNS browsing: it is not available on this system."); });
}

ServiceBrowser::~ServiceBrowser() = default;

} // namespace remote

#include "moc_ServiceBrowser.cpp"
