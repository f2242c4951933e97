#include "TerminationSignals.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace app {

namespace {

constexpr int Signals[] = { SIGTERM, SIGINT };
int signalPipe[2] = { -1, -1 };

// All a handler may do: pass the signal to the event loop.
void passOn(int signal)
{
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
}

} // namespace

void runBeforeTermination(std::function<void()> beforeEnd)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(notifier, &QSocketNotifier::activated, [beforeEnd = std::move(beforeEnd)] {
        unsigned char number = 0;
        if (::read(signalPipe[0], &number, 1) != 1)
            return;
        beforeEnd();
        std::signal(number, SIG_DFL);
        std::raise(number);
    });
    struct sigaction action = {};
    action.sa_handler = passOn;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : Signals)
        ::sigaction(signal, &action, nullptr);
}

} // namespace app
