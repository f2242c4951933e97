#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <termios.h>
#include <unistd.h>

namespace test_support {

// A raw pseudo-terminal: the program under test opens the slave side by its
// path, as it would a serial port, and the test plays the far end on the
// master side. The slave stays open here too, so that the master sees no
// hang-up when the program closes its end.
class PseudoTerminal {
public:
    PseudoTerminal()
    {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        path_ = name;
        // A program the test starts must not hold the terminal as well.
        fcntl(master_, F_SETFD, FD_CLOEXEC);
        fcntl(slave_, F_SETFD, FD_CLOEXEC);
        termios raw {};
        tcgetattr(slave_, &raw);
        cfmakeraw(&raw);
        tcsetattr(slave_, TCSANOW, &raw);
    }
    ~PseudoTerminal()
    {
        closeMaster();
        ::close(slave_);
    }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    const std::string& path() const { return path_; }
    int master() const { return master_; }

    // The line settings the slave side has now.
    termios settings() const
    {
        termios current {};
        tcgetattr(slave_, &current);
        return current;
    }

    void send(const std::string& bytes)
    {
        ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(master_, bytes.data(), bytes.size()));
    }

    // Up to count bytes that reach the master side within timeoutMs.
    std::string receive(std::size_t count, int timeoutMs)
    {
        std::string bytes;
        pollfd readable { master_, POLLIN, 0 };
        while (bytes.size() < count && ::poll(&readable, 1, timeoutMs) > 0) {
            char chunk[256];
            const ssize_t got = ::read(master_, chunk, std::min(sizeof chunk, count - bytes.size()));
            if (got <= 0)
                break;
            bytes.append(chunk, static_cast<std::size_t>(got));
        }
        return bytes;
    }

    // Up to count bytes of chatter, as fast as the line takes them; stops
    // early once it has taken nothing for stallMs.
    std::size_t flood(std::size_t count, int stallMs)
    {
        const std::string chunk(1 << 16, 'u');
        fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
        std::size_t sent = 0;
        pollfd writable { master_, POLLOUT, 0 };
        while (sent < count && ::poll(&writable, 1, stallMs) > 0)
            sent += std::max<ssize_t>(0, ::write(master_, chunk.data(), std::min(chunk.size(), count - sent)));
        return sent;
    }

    // The far end goes away: the program's side hangs up.
    void closeMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string path_;
};

// Plays the far end of a pseudo-terminal on a thread of its own: every chunk
// of bytes that reaches the master side goes to handle, until handle returns
// false, the master is closed, or the server is destroyed.
class MasterServer {
public:
    using Handler = std::function<bool(std::string_view chunk)>;

    MasterServer(PseudoTerminal& terminal, Handler handle)
        : terminal_(terminal)
        , handle_(std::move(handle))
    {
        if (::pipe(stop_) != 0)
            throw std::runtime_error("pipe failed");
        thread_ = std::thread([this] { serve(); });
    }
    ~MasterServer()
    {
        [[maybe_unused]] const auto ignored = ::write(stop_[1], "x", 1);
        thread_.join();
        ::close(stop_[0]);
        ::close(stop_[1]);
    }
    MasterServer(const MasterServer&) = delete;
    MasterServer& operator=(const MasterServer&) = delete;

private:
    // Waits for bytes or for the stop signal without limit: the destructor
    // always sends the signal.
    void serve()
    {
        for (;;) {
            pollfd watched[] = { { terminal_.master(), POLLIN, 0 }, { stop_[0], POLLIN, 0 } };
            if (::poll(watched, 2, -1) < 0 || watched[1].revents != 0)
                return;
            char chunk[512];
            const ssize_t got = ::read(terminal_.master(), chunk, sizeof chunk);
            if (got <= 0 || !handle_(std::string_view(chunk, static_cast<std::size_t>(got))))
                return;
        }
    }

    PseudoTerminal& terminal_;
    Handler handle_;
    int stop_[2] = { -1, -1 };
    std::thread thread_;
};

} // namespace test_support
