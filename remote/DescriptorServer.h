#pragma once

#include <QTcpServer>

namespace remote {

// A TCP server that hands over each new connection's descriptor, for a
// stream of the server's own making, instead of making a QTcpSocket of it.
class DescriptorServer : public QTcpServer {
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

signals:
    void connectionReady(qintptr descriptor);

protected:
    void incomingConnection(qintptr descriptor) override { emit connectionReady(descriptor); }
};

} // namespace remote
