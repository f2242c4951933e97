#pragma once

#include <QTcpServer>
#include <QTcpSocket>
#include <cmath>
#include <functional>
#include <string>

#include "Instrument.h"

namespace test_support {

// A spectrum analyzer on loopback that answers the default dialect with
// levels following the simulated instrument: the carrier a rotated
// elliptical bowl around a hidden offset pair above a noise floor, the
// image following the attenuator difference with a 1 degree phase error.
// A fault can be planted at a given reading.
class AnalyzerStandIn {
public:
    enum class Fault { None, Silent, Garbage, HangUp };
    static constexpr double FloorDbm = -90;
    static constexpr double WantedDbm = -10;
    static constexpr int NullI = 1234, NullQ = -877, BalancedDifference = 5;

    explicit AnalyzerStandIn(const sim::Instrument& instrument)
        : instrument_(instrument)
    {
        server_.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            client_ = server_.nextPendingConnection();
            QObject::connect(client_, &QTcpSocket::readyRead, [this] { serve(); });
        });
    }

    std::string resource() const { return "TCPIP::127.0.0.1::" + std::to_string(server_.serverPort()) + "::SOCKET"; }
    void plant(Fault fault, int atReading) { fault_ = fault, faultAt_ = atReading; }
    int readings() const { return readings_; }
    std::string continuous = "1";
    // Each reading's carrier settings, in order.
    std::vector<std::pair<int32_t, int32_t>> measured;

    double carrierDbm() const
    {
        const double i = value(":MOD:IOFF") - NullI, q = value(":MOD:QOFF") - NullQ;
        const double bowl = 1e-12 * (i * i + 2.5 * q * q + 1.2 * i * q);
        return 10 * std::log10(bowl + std::pow(10, FloorDbm / 10)) + noise();
    }
    double imageDbm() const
    {
        const double gain = std::pow(10, (value(":MOD:IATT") - value(":MOD:QATT") - BalancedDifference) * 0.125 / 20);
        const double phase = 1.0 * M_PI / 180;
        const double irr = (1 + 2 * gain * std::cos(phase) + gain * gain) / (1 - 2 * gain * std::cos(phase) + gain * gain);
        return 10 * std::log10(std::pow(10, (WantedDbm - 10 * std::log10(irr)) / 10) + std::pow(10, FloorDbm / 10));
    }

private:
    double value(const char* header) const { return *instrument_.value(header); }
    // Reproducible reading noise of about 0.1 dB.
    double noise() const { return 0.1 * std::sin(readings_ * 12.9898); }

    std::string answer(const std::string& line)
    {
        if (line == "*IDN?")
            return "Test Maker,Stand-in Analyzer,A1,1.0";
        if (line == ":INIT:CONT?")
            return continuous;
        if (line.starts_with(":INIT:CONT "))
            continuous = line.substr(11) == "OFF" ? "0" : line.substr(11);
        if (line == ":INIT:IMM;*OPC?")
            return "1";
        if (line.starts_with(":CALC:MARK") && line.ends_with(":Y?")) {
            if (++readings_ == faultAt_ && fault_ != Fault::None)
                return "";
            measured.emplace_back(value(":MOD:IOFF"), value(":MOD:QOFF"));
            return QString::number(line[10] == '2' ? imageDbm() : line[10] == '3' ? WantedDbm : carrierDbm(), 'f', 2)
                .toStdString();
        }
        return {};
    }

    void serve()
    {
        while (client_->canReadLine()) {
            const std::string line = client_->readLine().trimmed().toStdString();
            const std::string reply = answer(line);
            if (readings_ == faultAt_ && fault_ == Fault::HangUp)
                return client_->abort();
            if (readings_ == faultAt_ && fault_ == Fault::Garbage && line.ends_with(":Y?"))
                client_->write("#@!\n");
            else if (!reply.empty())
                client_->write(QByteArray::fromStdString(reply + "\n"));
        }
    }

    const sim::Instrument& instrument_;
    QTcpServer server_;
    QTcpSocket* client_ = nullptr;
    Fault fault_ = Fault::None;
    int faultAt_ = -1;
    int readings_ = 0;
};

} // namespace test_support
