#pragma once

#include <QObject>

namespace remote {

// The clients served at once, over the SCPI socket and VXI-11 together, so
// that the instrument's queue has at most Capacity of them in turn; and the
// clients refused since the last one was let in, for the status line.
class ClientSlots : public QObject {
    Q_OBJECT
public:
    static constexpr int Capacity = 8;

    // Takes a slot for a new client: false, and the client counted as
    // refused, when all are taken.
    bool take();
    void release();
    // Counts a client refused for a reason of its own (a connection with
    // as many links as one may hold).
    void noteRefused();

    int taken() const { return taken_; }
    int refused() const { return refused_; }

signals:
    void changed();

private:
    int taken_ = 0;
    int refused_ = 0;
};

} // namespace remote
