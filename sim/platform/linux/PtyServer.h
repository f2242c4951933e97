#pragma once

#include <ctime>
#include <string>
#include <string_view>

#include "Instrument.h"

namespace sim {

// Serves an Instrument on a pseudo-terminal, so that a program opening the
// terminal's path sees the R6140K on a serial port.
class PtyServer {
public:
    struct Options {
        bool pace = false; // time replies like a 57600-baud 8N1 line
    };

    // Opens the terminal; throws std::system_error when that fails.
    PtyServer(Instrument& instrument, Options options);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    const std::string& path() const { return path_; }

    // Serves until stopFd becomes readable. Returns false if the terminal
    // failed.
    bool serve(int stopFd);
    // For an event loop of the caller's: the terminal's descriptor, and one
    // read of what it has, handled. False if the terminal failed.
    int descriptor() const { return masterFd_; }
    bool takeInput();

private:
    void handleInput(std::string_view bytes);
    void sendPaced(std::string_view reply);
    void send(std::string_view reply);

    Instrument& instrument_;
    Options options_;
    int masterFd_ = -1;
    int slaveFd_ = -1; // kept open so the master never sees a hang-up
    std::string path_;
    timespec receiveDoneAt_ {}; // when the bytes read so far would have crossed the wire
};

} // namespace sim
