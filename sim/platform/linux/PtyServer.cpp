#include "PtyServer.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/prctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

// One 8N1 character (start bit, eight data bits, stop bit) at 57600 baud.
constexpr long ByteTimeNs = 10L * 1'000'000'000L / 57600;
constexpr long NsPerSecond = 1'000'000'000L;

[[noreturn]] void throwSystemError(const char* what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

timespec now()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts;
}

bool isBefore(const timespec& a, const timespec& b)
{
    return a.tv_sec < b.tv_sec || (a.tv_sec == b.tv_sec && a.tv_nsec < b.tv_nsec);
}

timespec addByteTimes(timespec ts, std::size_t bytes)
{
    const long long total = ts.tv_nsec + static_cast<long long>(bytes) * ByteTimeNs;
    ts.tv_sec += static_cast<time_t>(total / NsPerSecond);
    ts.tv_nsec = static_cast<long>(total % NsPerSecond);
    return ts;
}

void sleepUntil(const timespec& deadline)
{
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) { }
}

void makeRaw(int fd)
{
    termios attributes {};
    if (tcgetattr(fd, &attributes) != 0)
        throwSystemError("tcgetattr");
    cfmakeraw(&attributes);
    cfsetspeed(&attributes, B57600);
    if (tcsetattr(fd, TCSANOW, &attributes) != 0)
        throwSystemError("tcsetattr");
}

void addFlags(int fd, int getCommand, int setCommand, int flags)
{
    const int current = fcntl(fd, getCommand);
    if (current < 0 || fcntl(fd, setCommand, current | flags) < 0)
        throwSystemError("fcntl");
}

} // namespace

PtyServer::PtyServer(Instrument& instrument, Options options)
    : instrument_(instrument)
    , options_(options)
{
    if (openpty(&masterFd_, &slaveFd_, nullptr, nullptr, nullptr) != 0)
        throwSystemError("openpty");
    try {
        makeRaw(slaveFd_);
        // Like a UART, the master never waits for a reader: see send().
        addFlags(masterFd_, F_GETFL, F_SETFL, O_NONBLOCK);
        addFlags(masterFd_, F_GETFD, F_SETFD, FD_CLOEXEC);
        addFlags(slaveFd_, F_GETFD, F_SETFD, FD_CLOEXEC);
        // Paced bytes leave at absolute deadlines one character time apart; the
        // kernel's default timer slack (50 µs) would let each wake-up run that
        // much late, and every exchange end late with its last byte.
        if (options_.pace)
            prctl(PR_SET_TIMERSLACK, 1UL);
        std::array<char, PATH_MAX> name {};
        if (const int error = ttyname_r(slaveFd_, name.data(), name.size()); error != 0)
            throw std::system_error(error, std::generic_category(), "ttyname_r");
        path_ = name.data();
    } catch (...) {
        close(masterFd_);
        close(slaveFd_);
        throw;
    }
}

PtyServer::~PtyServer()
{
    close(masterFd_);
    close(slaveFd_);
}

bool PtyServer::serve(int stopFd)
{
    std::array<pollfd, 2> fds { { { masterFd_, POLLIN, 0 }, { stopFd, POLLIN, 0 } } };
    while (true) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (fds[1].revents != 0)
            return true;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return false;
        if (!takeInput())
            return false;
    }
}

bool PtyServer::takeInput()
{
    std::array<char, 4096> buffer {};
    const ssize_t count = read(masterFd_, buffer.data(), buffer.size());
    if (count > 0)
        handleInput({ buffer.data(), static_cast<std::size_t>(count) });
    return count > 0 || (count < 0 && (errno == EAGAIN || errno == EINTR));
}

void PtyServer::handleInput(std::string_view bytes)
{
    if (!options_.pace) {
        send(instrument_.receive(bytes));
        return;
    }
    // Line by line, so that each reply waits only for its own line's bytes.
    while (!bytes.empty()) {
        const auto pieceLength = std::min(bytes.find('\n'), bytes.size() - 1) + 1;
        const timespec arrival = now();
        receiveDoneAt_ = addByteTimes(std::max(receiveDoneAt_, arrival, isBefore), pieceLength);
        sendPaced(instrument_.receive(bytes.substr(0, pieceLength)));
        bytes.remove_prefix(pieceLength);
    }
}

void PtyServer::sendPaced(std::string_view reply)
{
    timespec deadline = receiveDoneAt_;
    for (const char byte : reply) {
        deadline = addByteTimes(deadline, 1);
        sleepUntil(deadline);
        send({ &byte, 1 });
    }
}

// Bytes nobody reads are lost once the terminal's buffer is full, as they
// would be on a serial line without flow control.
void PtyServer::send(std::string_view reply)
{
    while (!reply.empty()) {
        const ssize_t count = write(masterFd_, reply.data(), reply.size());
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            return;
        reply.remove_prefix(static_cast<std::size_t>(count));
    }
}

} // namespace sim
