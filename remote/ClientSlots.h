#pragma once

#include <QObject>
#include <chrono>
#include <functional>
#include <map>

namespace remote {

// The clients served at once, over the SCPI socket and VXI-11 together, so
// that the instrument's queue has at most Capacity of them in turn; and the
// clients refused since the last one was let in, for the status line. A
// holder (a socket client, or a VXI-11 connection with its links) that has
// sent nothing for IdleBeforeEviction gives its slots up when every slot is
// taken and a new client asks for one: the holder idle longest is told to
// close, so that clients that vanished or were left open cannot lock the
// others out.
class ClientSlots : public QObject {
    Q_OBJECT
public:
    static constexpr int Capacity = 8;
    static constexpr std::chrono::minutes IdleBeforeEviction { 1 };

    using Clock = std::function<std::chrono::milliseconds()>;
    // Told to close, and for how long it was idle; its slots are free at once.
    using Eviction = std::function<void(std::chrono::seconds idle)>;

    explicit ClientSlots(Clock clock = steadyClock, QObject* parent = nullptr);

    // Takes a slot for the holder (any address that stays its own while it
    // holds slots): false, and the client counted as refused, when all are
    // taken and none has been idle long enough to give its place up.
    bool take(const void* holder, Eviction evict);
    // The holder has sent something.
    void touch(const void* holder);
    // Gives one of the holder's slots back; nothing for one evicted.
    void release(const void* holder);
    // Counts a client refused for a reason of its own (a connection with
    // as many links as one may hold).
    void noteRefused();

    int taken() const { return taken_; }
    int refused() const { return refused_; }

signals:
    void changed();

private:
    struct Holder {
        int taken = 0;
        std::chrono::milliseconds lastActive {};
        Eviction evict;
    };

    static std::chrono::milliseconds steadyClock();
    bool evictIdlest();

    Clock clock_;
    std::map<const void*, Holder> holders_;
    int taken_ = 0;
    int refused_ = 0;
};

} // namespace remote
