#pragma once

#include <atomic>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "Instrument.h"

namespace test_support {

// The simulated instrument on the master side of a pseudo-terminal, served
// on a thread of its own; the panel opens the slave side by its path. After
// the given number of replies it goes away: when the next query arrives it
// closes the master, so the panel is left waiting for a reply that cannot
// come. Closing then rather than right after the last reply keeps that reply
// from being flushed away with the hang-up.
class VanishingInstrument {
public:
    explicit VanishingInstrument(std::size_t repliesBeforeGone)
        : repliesLeft_(repliesBeforeGone)
    {
        char name[256] = {};
        if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0 || pipe(stop_) != 0)
            throw std::runtime_error("openpty or pipe failed");
        path_ = name;
        termios settings {};
        tcgetattr(slave_, &settings);
        cfmakeraw(&settings);
        tcsetattr(slave_, TCSANOW, &settings);
        server_ = std::thread([this] { serve(); });
    }

    ~VanishingInstrument()
    {
        ::write(stop_[1], "x", 1);
        server_.join();
        for (int fd : { master_, slave_, stop_[0], stop_[1] })
            if (fd >= 0)
                ::close(fd);
    }

    VanishingInstrument(const VanishingInstrument&) = delete;
    VanishingInstrument& operator=(const VanishingInstrument&) = delete;

    const std::string& path() const { return path_; }
    bool gone() const { return gone_; }

private:
    // Waits for bytes from the panel or for the stop signal, without limit:
    // the destructor always sends the signal.
    void serve()
    {
        std::string pending;
        while (!gone_) {
            pollfd watched[] = { { master_, POLLIN, 0 }, { stop_[0], POLLIN, 0 } };
            if (::poll(watched, 2, -1) < 0 || watched[1].revents != 0)
                return;
            char chunk[256];
            const ssize_t got = ::read(master_, chunk, sizeof chunk);
            if (got <= 0)
                return;
            pending.append(chunk, static_cast<std::size_t>(got));
            for (std::size_t end; !gone_ && (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1))
                answer(pending.substr(0, end + 1));
        }
    }

    void answer(const std::string& line)
    {
        const bool query = line.find('?') != std::string::npos;
        if (query && repliesLeft_ == 0) {
            ::close(master_);
            master_ = -1;
            gone_ = true;
            return;
        }
        const std::string reply = instrument_.receive(line);
        if (reply.empty())
            return;
        ::write(master_, reply.data(), reply.size());
        --repliesLeft_;
    }

    sim::Instrument instrument_;
    std::size_t repliesLeft_;
    int master_ = -1;
    int slave_ = -1;
    int stop_[2] = { -1, -1 };
    std::string path_;
    std::atomic<bool> gone_ = false;
    std::thread server_;
};

} // namespace test_support
