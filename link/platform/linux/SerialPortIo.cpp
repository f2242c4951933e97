#include "SerialPortIo.h"

#include <QDeadlineTimer>
#include <QSerialPort>

#include <cerrno>
#include <poll.h>
#include <unistd.h>

#include "LineWaits.h"

namespace usblink {

// A descriptor whose other end hung up reads end of file for good: it never
// carries data again until the port is opened anew.
bool hungUp(const QSerialPort& port)
{
    pollfd line { static_cast<int>(port.handle()), 0, 0 };
    return ::poll(&line, 1, 0) == 1 && (line.revents & POLLHUP) != 0;
}

// Straight to the descriptor: Qt's own write goes through its buffer and a
// notifier that it switches on and off again around every message, which
// costs each query several more system calls.
uint32_t writeThrough(QSerialPort& port, const char* bytes, uint32_t count, const QDeadlineTimer& deadline)
{
    const int fd = static_cast<int>(port.handle());
    uint32_t done = 0;
    while (done < count) {
        const ssize_t wrote = ::write(fd, bytes + done, count - done);
        if (wrote > 0) {
            done += static_cast<uint32_t>(wrote);
            continue;
        }
        pollfd room { fd, POLLOUT, 0 };
        const bool mayWait = wrote < 0 && (errno == EAGAIN || errno == EINTR);
        if (!mayWait || ::poll(&room, 1, remainingMs(deadline)) <= 0 || (room.revents & (POLLERR | POLLHUP)))
            break;
    }
    return done;
}

} // namespace usblink
