#include "ErrorQueue.h"

#include "CommandSet.h"

namespace session {

namespace commands = instrument::commands;

QueuedErrors drainErrors(InstrumentLine& line)
{
    QueuedErrors queued;
    for (std::size_t asked = 0; asked < MaxErrorsAsked; ++asked) {
        const usblink::Reply reply = line.ask(commands::ErrorQuery);
        if (!reply.answered()) {
            queued.failure = reply.text;
            break;
        }
        if (reportsNoError(reply))
            break;
        queued.errors.push_back(reply.text);
    }
    return queued;
}

bool reportsNoError(const usblink::Reply& reply)
{
    return reply.answered() && commands::toInteger(reply.text.substr(0, reply.text.find(','))) == 0;
}

} // namespace session
