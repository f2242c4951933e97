#pragma once

#include <QDir>
#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <optional>
#include <string>
#include <unistd.h>

#include "DaemonProcess.h"

namespace test_support {

// Debian's ser2net exporting a serial line on two free loopback ports, raw
// TCP and telnet with RFC 2217, at the given line settings (which an RFC
// 2217 client may change). Started by the test, stopped with it.
class Ser2NetProcess {
public:
    explicit Ser2NetProcess(const std::string& device, const std::string& lineSettings = "9600n81")
    {
        // The free ports are let go before ser2net binds them, so another
        // test may take one meanwhile; ser2net then runs without it, and a
        // client would reach the other test's server. Such ports are given
        // up and others tried.
        for (int attempt = 0; attempt < 3 && !(process_ && process_->ready()); ++attempt) {
            process_.reset();
            start(device, lineSettings);
        }
    }

    bool ready() const { return process_->ready(); }
    std::string rawUrl() const { return "tcp://127.0.0.1:" + std::to_string(raw_); }
    std::string rfc2217Url() const { return "rfc2217://127.0.0.1:" + std::to_string(rfc2217_); }

    void stop() { process_->stop(); }

private:
    void start(const std::string& device, const std::string& lineSettings)
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
            [this](qint64 pid) { return listensOn(pid, raw_) && listensOn(pid, rfc2217_); });
    }

    // Whether the process holds the socket listening on 127.0.0.1:port:
    // the socket's inode from /proc/net/tcp among the process's descriptors.
    static bool listensOn(qint64 pid, quint16 port)
    {
        QFile table("/proc/net/tcp");
        table.open(QIODevice::ReadOnly);
        const QByteArray local = QString("0100007F:%1").arg(port, 4, 16, QChar('0')).toUpper().toLatin1();
        for (const QByteArray& line : table.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            // sl local rem st tx:rx tr:when retrnsmt uid timeout inode
            if (fields.size() > 9 && fields[1] == local && fields[3] == "0A")
                return holdsSocket(pid, fields[9]);
        }
        return false;
    }

    static bool holdsSocket(qint64 pid, const QByteArray& inode)
    {
        const QString fds = QString("/proc/%1/fd").arg(pid);
        const QByteArray wanted = "socket:[" + inode + "]";
        for (const QString& fd : QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot)) {
            char target[64] = {};
            const ssize_t length = ::readlink(QFile::encodeName(fds + '/' + fd).constData(), target, sizeof target - 1);
            if (length > 0 && QByteArray(target, length) == wanted)
                return true;
        }
        return false;
    }

    QTemporaryDir dir_;
    quint16 raw_ = 0;
    quint16 rfc2217_ = 0;
    std::optional<DaemonProcess> process_;
};

} // namespace test_support
