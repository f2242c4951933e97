#pragma once

#include <QTcpSocket>
#include <string>

#include "InstrumentLine.h"

namespace ctl {

// The instrument of a running panel, through the panel's SCPI socket: one
// line with LF per message, a query's reply a line ending in LF. The panel
// answers READ TIMEOUT or READ ERROR itself when its instrument does not.
class PanelSocketLine : public session::InstrumentLine {
public:
    static constexpr int ConnectTimeoutMs = 3000;
    // The panel serves its operator and other clients in turn, so a reply
    // may wait well beyond the instrument's own 5 s.
    static constexpr int ReplyTimeoutMs = 60000;

    ~PanelSocketLine() override;

    void setReplyTimeout(int milliseconds) { replyTimeoutMs_ = milliseconds; }

    // Empty when connected, else why not.
    std::string connectTo(const std::string& host, uint16_t port);

    bool send(const std::string& message) override;
    usblink::Reply ask(const std::string& query) override;

    // Whether every message written so far has left, and the panel is still
    // there.
    bool intact() const { return intact_; }

private:
    void write(const std::string& message);

    QTcpSocket socket_;
    bool intact_ = true;
    int replyTimeoutMs_ = ReplyTimeoutMs;
};

} // namespace ctl
