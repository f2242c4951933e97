#pragma once

#include "InstrumentLine.h"
#include "InstrumentSession.h"

namespace session {

// The instrument through a session that has it open.
class SessionLine : public InstrumentLine {
public:
    explicit SessionLine(session::InstrumentSession& session)
        : session_(session)
    {
    }
    bool send(const std::string& message) override { return session_.send(message); }
    usblink::Reply ask(const std::string& query) override { return session_.ask(query); }

private:
    session::InstrumentSession& session_;
};

} // namespace session
