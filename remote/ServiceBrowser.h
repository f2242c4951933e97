#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace remote {

// The VISA resource string of an analyzer found by DNS-SD: raw SCPI
// (_scpi-raw._tcp) on its port as a SOCKET resource, VXI-11 (_vxi-11._tcp)
// as an INSTR resource, whose port the port mapper tells; empty for
// another type.
QString resourceOfService(const QString& type, const QString& address, quint16 port);

// Finds instruments on the LAN by mDNS through the machine's avahi-daemon,
// on the panel's own event loop (the avahi-client the announcer uses), and
// tells the resource string of each one it resolves. Without a daemon it
// finds nothing and says why.
class ServiceBrowser : public QObject {
    Q_OBJECT
public:
    explicit ServiceBrowser(QStringList types, QObject* parent = nullptr);
    ~ServiceBrowser() override;

signals:
    void found(const QString& resource);
    void problem(const QString& why);

private:
    struct Avahi;
    std::unique_ptr<Avahi> avahi_;
};

} // namespace remote
