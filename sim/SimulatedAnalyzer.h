#pragma once

#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTcpServer>
#include <chrono>
#include <memory>

#include "AnalyzerCommands.h"
#include "AnalyzerModel.h"
#include "Instrument.h"

namespace sim {

struct SimulatedAnalyzerOptions {
    AnalyzerOptions model;
    // From :INIT:IMM until *OPC? answers; 0 answers at once.
    std::chrono::milliseconds sweepTime { 0 };
};

// A spectrum analyzer on the LAN, looking at the simulated instrument's
// output (AnalyzerModel) and speaking the usual SCPI over a raw socket:
// one line in, one reply line (LF-terminated) out, for several clients at
// once, each in the order of its lines; and, on request, over VXI-11 as
// device inst0. A test constructs it beside the instrument and lets the
// event loop run:
//
//   sim::Instrument instrument("SIM00042");
//   sim::SimulatedAnalyzer analyzer(instrument, { .model = { .noiseDb = 0 } });
//   analyzer.listen(QHostAddress::LocalHost); // port 0: any free one
//   // connect to analyzer.socketResource(): "TCPIP::127.0.0.1::<port>::SOCKET"
//   analyzer.setFault({ sim::AnalyzerFault::Kind::HangUp, 5 }); // after 5 readings
//
// model() tells the floor and the hidden best settings to compare with.
class SimulatedAnalyzer : public QObject {
    Q_OBJECT
public:
    // A longer line is dropped up to its end and queued as error -363.
    static constexpr std::size_t MaxLineLength = 1024;
    // Clients served at once; one more is closed at once.
    static constexpr int MaxClients = 16;

    explicit SimulatedAnalyzer(
        const Instrument& instrument, SimulatedAnalyzerOptions options = {}, QObject* parent = nullptr);

    // Serves the raw socket at the address and port (0: a free one). False
    // when it cannot be had; errorString() says why.
    bool listen(const QHostAddress& address, quint16 port = 0);
    quint16 port() const { return server_.serverPort(); }
    QHostAddress address() const { return server_.serverAddress(); }
    QString errorString() const { return errorString_; }
    // The VISA resource string of the raw socket, "TCPIP::<address>::<port>::SOCKET".
    QString socketResource() const;

    void setFault(AnalyzerFault fault) { commands_.setFault(fault); }
    AnalyzerModel& model() { return model_; }
    AnalyzerCommands& commands() { return commands_; }
    int clientCount() const { return clients_; }

private:
    void takeConnections();

    AnalyzerModel model_;
    AnalyzerCommands commands_;
    QTcpServer server_;
    QString errorString_;
    int clients_ = 0;
};

} // namespace sim
