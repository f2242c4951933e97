#pragma once

#include <atomic>
#include <cstddef>
#include <string>

#include "Instrument.h"
#include "PseudoTerminal.h"

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
    }

    const std::string& path() const { return terminal_.path(); }
    bool gone() const { return gone_; }

private:
    bool take(std::string_view chunk)
    {
        pending_ += chunk;
        for (std::size_t end; !gone_ && (end = pending_.find('\n')) != std::string::npos; pending_.erase(0, end + 1))
            answer(pending_.substr(0, end + 1));
        return !gone_;
    }

    void answer(const std::string& line)
    {
        const bool query = line.find('?') != std::string::npos;
        if (query && repliesLeft_ == 0) {
            terminal_.closeMaster();
            gone_ = true;
            return;
        }
        const std::string reply = instrument_.receive(line);
        if (reply.empty())
            return;
        terminal_.send(reply);
        --repliesLeft_;
    }

    sim::Instrument instrument_;
    std::size_t repliesLeft_;
    std::string pending_;
    std::atomic<bool> gone_ = false;
    PseudoTerminal terminal_;
    MasterServer server_ { terminal_, [this](std::string_view chunk) { return take(chunk); } };
};

} // namespace test_support
