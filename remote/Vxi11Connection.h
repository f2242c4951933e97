#pragma once

#include <QObject>
#include <QTimer>
#include <chrono>
#include <string>

#include "RecordMarking.h"
#include "Vxi11Device.h"

class QTcpSocket;

namespace remote {

// One TCP connection to a VXI-11 channel (the core or the abort program).
// Its calls are carried out one at a time, in the order they came: the next
// record is read only once the last call is answered, so a client that
// sends without reading is held back by TCP itself. A record longer than
// the bound, or one that is no call, ends the connection, and so does a
// record left unfinished for PartialRecordTimeout while no call of the
// connection is open (a client that drips its bytes, or stalls); a call that
// cannot be carried out is answered with the RPC error that says why.
class Vxi11Connection : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::seconds PartialRecordTimeout { 3 };

    // Takes the socket over.
    Vxi11Connection(QTcpSocket* socket, Vxi11Device& device, uint32_t program, QObject* parent = nullptr);

    // Begins to take calls; finished() may follow at once.
    void start();

signals:
    // The client hung up, or was disconnected.
    void finished();

private:
    void takeCalls();
    bool readMore();
    void carryOut(const vxi11::Bytes& record);
    void send(const vxi11::Bytes& message);
    void end();
    void hungUp();

    QTcpSocket* socket_;
    Vxi11Device& device_;
    uint32_t program_;
    std::string origin_;
    vxi11::RecordReader records_;
    QTimer partialRecord_;
    bool callOpen_ = false;
    bool taking_ = false;
    bool gone_ = false;
};

} // namespace remote
