#include "ServiceAnnouncer.h"

namespace remote {

struct ServiceAnnouncer::Avahi { };

ServiceAnnouncer::ServiceAnnouncer(QObject* parent)
    : QObject(parent)
{
}

ServiceAnnouncer::~ServiceAnnouncer() = default;

void ServiceAnnouncer::announce(const Announcement&)
{
    emit problemChanged("No mDNS announcement: it is not available on this system.");
}

} // namespace remote

#include "moc_ServiceAnnouncer.cpp"
