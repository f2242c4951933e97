#include "StartUp.h"

#include "CommandSet.h"

namespace session {

usblink::Reply identify(InstrumentSession& session)
{
    for (const char* message : instrument::commands::StartUpMessages)
        session.send(message);
    return session.ask(instrument::commands::Identify);
}

std::optional<usblink::Reply> startUp(InstrumentSession& session, int32_t index, const StartUpHooks& hooks)
{
    session.open(index);
    if (!hooks.proceed(StartUpStep::Opened))
        return std::nullopt;
    hooks.wait(SettleSeconds);
    if (!hooks.proceed(StartUpStep::Settled))
        return std::nullopt;
    return identify(session);
}

} // namespace session
