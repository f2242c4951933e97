#pragma once

#include <QByteArray>
#include <QObject>
#include <memory>
#include <string>

namespace remote {

// A client's connection as a byte stream each way. The client may end its
// sending (a half-close, as "nc -N" does) and still read what it is owed:
// inputEnded() comes, and what is written still goes out. Qt's sockets close
// at once when the client's side ends, so where the system allows it the
// stream works on the descriptor itself (platform/<system>/ClientStream.cpp).
// What the client sends arrives in received(); reading can be paused, which
// holds the client back through TCP's own window.
class ClientStream : public QObject {
    Q_OBJECT
public:
    // Takes over a connected socket's descriptor.
    ClientStream(qintptr descriptor, QObject* parent = nullptr);
    ~ClientStream() override;

    // The client's address and port, as "127.0.0.1:54321" or "[::1]:54321".
    std::string peer() const;

    void pauseReading(bool paused);
    // Sends what the system takes now and the rest as it takes it.
    void write(const QByteArray& bytes);
    // Bytes written but not yet taken by the system.
    qint64 unsent() const;
    void dropUnsent();
    // Closes once everything written has gone out, or at once if the
    // connection is already gone; closed() follows.
    void closeWhenSent();
    // Closes at once, dropping what is unsent; closed() follows.
    void abort();

signals:
    void received(const QByteArray& bytes);
    // The client has sent everything it will send.
    void inputEnded();
    // The connection is gone: reset by the client, or a write failed. Nothing
    // more can be written; inputEnded() has come or comes no more.
    void failed();
    void closed();

private:
    struct Io;
    std::unique_ptr<Io> io_;
};

} // namespace remote
