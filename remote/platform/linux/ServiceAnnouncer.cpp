#include "ServiceAnnouncer.h"

#include <QNetworkInterface>
#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <optional>

#include "QtAvahiPoll.h"

namespace remote {

namespace {

constexpr const char* DaemonMissing = "No mDNS announcement: avahi-daemon is not running (sudo apt install "
                                      "avahi-daemon, then sudo systemctl start avahi-daemon).";

// The interface that has the address, or every interface for an any address.
AvahiIfIndex interfaceOf(const QHostAddress& address)
{
    for (const QNetworkInterface& interface : QNetworkInterface::allInterfaces())
        for (const QNetworkAddressEntry& entry : interface.addressEntries())
            if (entry.ip() == address)
                return interface.index();
    return AVAHI_IF_UNSPEC;
}

AvahiProtocol protocolOf(const QHostAddress& address)
{
    switch (address.protocol()) {
    case QAbstractSocket::IPv4Protocol:
        return AVAHI_PROTO_INET;
    case QAbstractSocket::IPv6Protocol:
        return AVAHI_PROTO_INET6;
    default:
        return AVAHI_PROTO_UNSPEC;
    }
}

struct TxtDeleter {
    void operator()(AvahiStringList* list) const { avahi_string_list_free(list); }
};
using TxtRecords = std::unique_ptr<AvahiStringList, TxtDeleter>;

// A service on one address names a host of its own whose only address is
// that one: under the machine's host name, which resolves to any of the
// interface's addresses, a client could reach another panel or none. A
// service on every address keeps the machine's host name (empty here).
QByteArray hostNameOf(QHostAddress address)
{
    if (address == QHostAddress::AnyIPv4 || address == QHostAddress::AnyIPv6 || address == QHostAddress::Any)
        return {};
    address.setScopeId({});
    QByteArray label = address.toString().toLatin1();
    label.replace('.', '-').replace(':', '-');
    return "r6140k-" + label + ".local";
}

TxtRecords txtRecords(const QStringList& records)
{
    AvahiStringList* list = nullptr;
    for (const QString& record : records)
        list = avahi_string_list_add(list, record.toUtf8().constData());
    return TxtRecords(list);
}

} // namespace

struct ServiceAnnouncer::Avahi {
    explicit Avahi(ServiceAnnouncer& owner)
        : owner(owner)
    {
    }
    ~Avahi() { closeClient(); }

    void connectClient()
    {
        int error = 0;
        client = avahi_client_new(poll.api(), AVAHI_CLIENT_NO_FAIL, clientChanged, this, &error);
        if (!client)
            report(DaemonMissing); // not even the system bus it is reached through
    }

    void closeClient()
    {
        if (client)
            avahi_client_free(client); // frees the entry group too
        client = nullptr;
        group = nullptr;
    }

    static void clientChanged(AvahiClient* changed, AvahiClientState state, void* self)
    {
        auto& avahi = *static_cast<Avahi*>(self);
        avahi.client = changed; // also while avahi_client_new has not returned yet
        switch (state) {
        case AVAHI_CLIENT_S_RUNNING:
            return avahi.publish();
        case AVAHI_CLIENT_S_COLLISION:
        case AVAHI_CLIENT_S_REGISTERING:
            if (avahi.group)
                avahi_entry_group_reset(avahi.group);
            return;
        case AVAHI_CLIENT_CONNECTING:
            return avahi.report(DaemonMissing);
        case AVAHI_CLIENT_FAILURE:
            // The daemon went: wait for it to come back.
            avahi.report(DaemonMissing);
            avahi.closeClient();
            return avahi.connectClient();
        }
    }

    static void groupChanged(AvahiEntryGroup*, AvahiEntryGroupState state, void* self)
    {
        auto& avahi = *static_cast<Avahi*>(self);
        if (state == AVAHI_ENTRY_GROUP_ESTABLISHED)
            avahi.report({});
        else if (state == AVAHI_ENTRY_GROUP_COLLISION)
            avahi.rename();
        else if (state == AVAHI_ENTRY_GROUP_FAILURE)
            avahi.report(QString("No mDNS announcement: %1.").arg(avahi_strerror(avahi_client_errno(avahi.client))));
    }

    // Another host announces the name: the next one avahi proposes.
    void rename()
    {
        char* alternative = avahi_alternative_service_name(name.toUtf8().constData());
        name = QString::fromUtf8(alternative);
        avahi_free(alternative);
        publish();
    }

    void publish()
    {
        if (!announcement || !client || avahi_client_get_state(client) != AVAHI_CLIENT_S_RUNNING)
            return;
        if (!group)
            group = avahi_entry_group_new(client, groupChanged, this);
        avahi_entry_group_reset(group);
        if (announcement->services.empty())
            return report({}); // withdrawn: nothing is served to others
        QList<QByteArray> hosts;
        for (const Announcement::Service& service : announcement->services) {
            const QByteArray host = hostNameOf(service.address);
            if (!host.isEmpty() && !hosts.contains(host)) {
                const int added = addHost(host, service.address);
                if (added < 0)
                    return report(QString("No mDNS announcement: the address record of %1 for %2: %3.")
                                      .arg(QString::fromLatin1(host), service.address.toString(), avahi_strerror(added)));
                hosts << host;
            }
            const int added = avahi_entry_group_add_service_strlst(group, interfaceOf(service.address),
                protocolOf(service.address), AvahiPublishFlags(0), name.toUtf8().constData(),
                service.type.toUtf8().constData(), nullptr, host.isEmpty() ? nullptr : host.constData(), service.port,
                txtRecords(announcement->txt + service.txt).get());
            if (added == AVAHI_ERR_COLLISION)
                return rename();
            if (added < 0)
                return report(QString("No mDNS announcement of %1: %2.").arg(service.type, avahi_strerror(added)));
        }
        avahi_entry_group_commit(group);
    }

    // No reverse (PTR) record: the machine's own host name has that address's.
    int addHost(const QByteArray& host, QHostAddress address)
    {
        address.setScopeId({});
        AvahiAddress record;
        if (!avahi_address_parse(address.toString().toLatin1().constData(), AVAHI_PROTO_UNSPEC, &record))
            return AVAHI_ERR_INVALID_ADDRESS;
        return avahi_entry_group_add_address(group, interfaceOf(address), protocolOf(address),
            AVAHI_PUBLISH_NO_REVERSE, host.constData(), &record);
    }

    void report(const QString& problem)
    {
        if (problem == reported)
            return;
        reported = problem;
        emit owner.problemChanged(problem);
    }

    ServiceAnnouncer& owner;
    QtAvahiPoll poll;
    AvahiClient* client = nullptr;
    AvahiEntryGroup* group = nullptr;
    std::optional<Announcement> announcement;
    QString name;
    QString reported;
};

ServiceAnnouncer::ServiceAnnouncer(QObject* parent)
    : QObject(parent)
    , avahi_(std::make_unique<Avahi>(*this))
{
}

ServiceAnnouncer::~ServiceAnnouncer() = default;

void ServiceAnnouncer::announce(const Announcement& announcement)
{
    avahi_->announcement = announcement;
    avahi_->name = announcement.name;
    if (avahi_->client)
        avahi_->publish();
    else
        avahi_->connectClient();
}

} // namespace remote

#include "moc_ServiceAnnouncer.cpp"
