#pragma once

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <optional>
#include <string>

#include "DaemonProcess.h"

namespace test_support {

// Debian's ser2net exporting a serial line on two free loopback ports, raw
// TCP and telnet with RFC 2217, at the given line settings (which an RFC
// 2217 client may change). Started by the test, stopped with it.
class Ser2NetProcess {
public:
    explicit Ser2NetProcess(const std::string& device, const std::string& lineSettings = "9600n81")
    {
        {
            QTcpServer first, second; // both held, so that the two ports differ
            first.listen(QHostAddress::LocalHost);
            second.listen(QHostAddress::LocalHost);
            raw_ = first.serverPort();
            rfc2217_ = second.serverPort();
        }
        const QString config = dir_.filePath("ser2net.yaml");
        QFile file(config);
        file.open(QIODevice::WriteOnly);
        const auto connection = [&](const char* name, const char* accepter, quint16 port) {
            return QString("connection: &%1\n  accepter: %2,127.0.0.1,%3\n  connector: serialdev,%4,%5,local\n")
                .arg(name, accepter)
                .arg(port)
                .arg(QString::fromStdString(device), QString::fromStdString(lineSettings));
        };
        file.write((connection("raw", "tcp", raw_) + connection("rfc", "telnet(rfc2217),tcp", rfc2217_)).toUtf8());
        file.close();
        process_.emplace(R6140K_SER2NET_PATH, QStringList { "-n", "-d", "-c", config },
            [this] { return listening(raw_) && listening(rfc2217_); });
    }

    bool ready() const { return process_->ready(); }
    std::string rawUrl() const { return "tcp://127.0.0.1:" + std::to_string(raw_); }
    std::string rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(rfc2217_); }

    void stop() { process_->stop(); }

private:
    // Whether something listens on 127.0.0.1:port, as /proc/net/tcp tells.
    static bool listening(quint16 port)
    {
        QFile table("/proc/net/tcp");
        table.open(QIODevice::ReadOnly);
        const QByteArray wanted = QString(" 0100007F:%1 00000000:0000 0A ").arg(port, 4, 16, QChar('0')).toUpper().toLatin1();
        return table.readAll().contains(wanted);
    }

    QTemporaryDir dir_;
    quint16 raw_ = 0;
    quint16 rfc2217_ = 0;
    std::optional<DaemonProcess> process_;
};

} // namespace test_support
