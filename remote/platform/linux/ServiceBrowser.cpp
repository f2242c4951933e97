#include "ServiceBrowser.h"

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/address.h>
#include <avahi-common/error.h>
#include <vector>

#include "QtAvahiPoll.h"

namespace remote {

// A browser per type once the daemon runs; each new service is resolved
// once to its address and port.
struct ServiceBrowser::Avahi {
    Avahi(ServiceBrowser& owner, QStringList types)
        : owner(owner)
        , types(std::move(types))
    {
        int error = 0;
        client = avahi_client_new(poll.api(), AVAHI_CLIENT_NO_FAIL, &Avahi::clientChanged, this, &error);
        if (!client)
            emit owner.problem(QString("No mDNS browsing: %1").arg(avahi_strerror(error)));
    }

    ~Avahi()
    {
        for (AvahiServiceBrowser* browser : browsers)
            avahi_service_browser_free(browser);
        if (client)
            avahi_client_free(client); // frees the resolvers still at work too
    }

    static void clientChanged(AvahiClient* client, AvahiClientState state, void* self)
    {
        auto* avahi = static_cast<Avahi*>(self);
        if (state == AVAHI_CLIENT_S_RUNNING && avahi->browsers.empty()) {
            for (const QString& type : avahi->types)
                if (AvahiServiceBrowser* browser = avahi_service_browser_new(client, AVAHI_IF_UNSPEC,
                        AVAHI_PROTO_UNSPEC, type.toLatin1().constData(), nullptr, AvahiLookupFlags(0),
                        &Avahi::browsed, self))
                    avahi->browsers.push_back(browser);
        } else if (state == AVAHI_CLIENT_CONNECTING) {
            // Queued: this may run inside the constructor, before anyone listens.
            QMetaObject::invokeMethod(&avahi->owner, [owner = &avahi->owner] {
                emit owner->problem("No mDNS browsing: avahi-daemon is not running (sudo apt install avahi-daemon, "
                                    "then sudo systemctl start avahi-daemon).");
            }, Qt::QueuedConnection);
        }
    }

    static void browsed(AvahiServiceBrowser* browser, AvahiIfIndex interface, AvahiProtocol protocol,
        AvahiBrowserEvent event, const char* name, const char* type, const char* domain, AvahiLookupResultFlags,
        void* self)
    {
        if (event != AVAHI_BROWSER_NEW)
            return;
        avahi_service_resolver_new(avahi_service_browser_get_client(browser), interface, protocol, name, type,
            domain, AVAHI_PROTO_UNSPEC, AvahiLookupFlags(0), &Avahi::resolved, self);
    }

    static void resolved(AvahiServiceResolver* resolver, AvahiIfIndex, AvahiProtocol, AvahiResolverEvent event,
        const char*, const char* type, const char*, const char*, const AvahiAddress* address, uint16_t port,
        AvahiStringList*, AvahiLookupResultFlags, void* self)
    {
        if (event == AVAHI_RESOLVER_FOUND && address) {
            char text[AVAHI_ADDRESS_STR_MAX];
            avahi_address_snprint(text, sizeof text, address);
            const QString resource = resourceOfService(type, text, port);
            if (!resource.isEmpty())
                emit static_cast<Avahi*>(self)->owner.found(resource);
        }
        avahi_service_resolver_free(resolver);
    }

    ServiceBrowser& owner;
    QStringList types;
    QtAvahiPoll poll;
    AvahiClient* client = nullptr;
    std::vector<AvahiServiceBrowser*> browsers;
};

ServiceBrowser::ServiceBrowser(QStringList types, QObject* parent)
    : QObject(parent)
    , avahi_(std::make_unique<Avahi>(*this, std::move(types)))
{
}

ServiceBrowser::~ServiceBrowser() = default;

} // namespace remote

#include "moc_ServiceBrowser.cpp"
