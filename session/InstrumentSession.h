#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "FTDI_Driver.h"
#include "MessageSyntax.h"
#include "LineSync.h"
#include "LinkWatch.h"

namespace session {

static_assert(instrument::MaxMessageLength + 2 == usblink::FTDI_Driver::CommandBufferSize,
    "a message the instrument takes fits the driver's command buffer with its CR LF");

// The one way to the instrument. It owns the driver and the handle of the
// open device, and keeps to the instrument's rule of one exchange at a time:
// an exchange (a query and its reply, or a run of messages that belong
// together, such as a read-back) excludes every other, and an exchange
// asked for while another runs waits in a queue and starts as soon as the
// running one ends, in the order asked. Every line sent and every reply
// taken is reported to the observers, with who caused it.
//
// The session also knows whether the link is up. It is down when the device
// could not be opened or has gone (a write or read answered
// FT_DEVICE_NOT_FOUND, or the backend saw it go while idle), until it is
// opened again. While it is down nothing
// is sent and every query answers READ ERROR at once, without reaching the
// library, and nothing is kept to be sent later; only an exchange that
// began while the link was up runs to its end as before, each failing call
// answering at once (start-up, whose open may be what fails, is one).
//
// Replies stay matched to their queries (LineSync): after a reply that did
// not come, the next query waits for a marker's answer first. When queries
// time out twice in a row the instrument is not answering: the link counts
// as down, nothing more is sent and every query answers READ TIMEOUT at once,
// until probe() finds it answering again.
class InstrumentSession {
public:
    // Refused: a message that was not sent, as it could not be sent as it
    // stands (see instrument::messageProblem). Note: no line of the
    // instrument's but an event of the session or the panel that a record of
    // the traffic needs beside the lines (the link going down or up, a
    // change the panel saw); see note().
    enum class Direction { Sent, Received, Refused, Note };
    using LineObserver
        = std::function<void(Direction direction, const std::string& line, const std::string& origin)>;
    using Exchange = std::function<void()>;
    using ObserverId = std::size_t;
    using LinkObserver = std::function<void()>;
    using WaitObserver = std::function<void()>;

    // Who causes the lines of exchanges not queued by anyone else.
    static constexpr const char* PanelOrigin = "panel";

    InstrumentSession(usblink::BridgeLibrary& library, usblink::FTDI_Driver::EventPump processEvents,
        usblink::FTDI_Driver::Clock clock = usblink::FTDI_Driver::steadyClock);
    ~InstrumentSession();
    InstrumentSession(const InstrumentSession&) = delete;
    InstrumentSession& operator=(const InstrumentSession&) = delete;

    usblink::DeviceList listDevices();
    // Opens the device with the given index at the instrument's line settings.
    void open(int32_t index);
    // Closes the device, once; from then on nothing reaches the library:
    // messages are dropped and every query answers READ ERROR.
    void close();

    // The open device's handle; 0 before opening, -1 when opening failed.
    const usblink::DeviceHandle& handle() const { return handle_; }

    // Writes one message; nothing is read after it. A message that cannot be
    // sent as it stands (instrument::messageProblem) is refused instead:
    // reported as such, and a query answers READ ERROR at once. True when
    // the message went out on the line; false when it was refused, the
    // session is closed or the line is down, or the write failed.
    bool send(const std::string& message);
    // Writes a query and takes its reply (or READ TIMEOUT or READ ERROR), as
    // one exchange.
    std::string query(const std::string& message) { return ask(message).text; }
    // The same, telling a reply from a time-out or a failure by its outcome.
    usblink::Reply ask(const std::string& message);

    // A reply that the running exchange awaits: the query it answers, and
    // when the wait began, on the session's clock.
    struct AwaitedReply {
        std::string query;
        std::chrono::milliseconds since;
    };
    // The reply awaited now; none between an exchange's queries.
    const std::optional<AwaitedReply>& awaitedReply() const { return awaited_; }
    // The clock the session and its driver's time-outs run on.
    std::chrono::milliseconds now() const { return clock_(); }
    // Told when a wait for a reply begins, at each event point while it
    // lasts, and when it or an exchange ends: what the windows show of a
    // wait can follow it as it goes.
    void addWaitObserver(WaitObserver observer);

    // Whether an exchange runs now.
    bool busy() const { return depth_ > 0; }
    // Whether the panel's own exchange runs now: steps it runs with
    // exclusive() or query() itself, or queued with the panel's origin; not
    // an exchange queued by others, nor a lone message queued by the panel.
    bool panelExchangeRunning() const { return exclusiveDepth_ > 0 && origin_ == PanelOrigin; }
    // Runs steps as one exchange; exchanges queued meanwhile start after it.
    void exclusive(const Exchange& steps);
    // Runs the exchange now if none runs, or else once the running one and
    // every exchange queued before it have ended. Its lines are reported as
    // caused by origin.
    void enqueue(Exchange exchange, std::string origin = PanelOrigin);
    // Like enqueue, but ahead of every exchange queued with enqueue: it waits
    // for the running exchange and for those queued ahead before it only.
    // For the operator's changes, which must not wait behind others' traffic.
    void enqueueAhead(Exchange exchange, std::string origin = PanelOrigin);
    // The operator's message: sent at once, or while an exchange runs (the
    // operator acted while a reply was awaited), right after it, ahead of
    // others' exchanges still waiting, so that a streaming client cannot hold
    // the operator back; never in the middle of the exchange.
    void sendAhead(const std::string& message);
    // Every exchange queued so far is voided: when its turn comes it runs
    // without reaching the line (messages are not sent, queries answer READ
    // ERROR at once), each line it would have sent noted with its origin.
    // For what was queued for an instrument that is no longer the one that
    // answers. Returns how many were voided.
    std::size_t voidQueued();

    // Observers are told of lines from now until they are removed; none is
    // removed from inside a report.
    ObserverId addLineObserver(LineObserver observer);
    void removeLineObserver(ObserverId id);
    // Tells the line observers of an event as a Note caused by the panel:
    // the session notes the link going down, coming back and its reopening.
    void note(const std::string& text) const;

    // Whether the link is down, and why, in words for the user (what
    // happened and what to do); empty while it is up.
    bool linkDown() const { return !linkProblem_.empty(); }
    // Whether the link is down because the instrument does not answer.
    bool notAnswering() const { return notAnswering_; }
    // What the backend last did about a link that is up and the user should
    // know of (see usblink::LinkHealth::notice); link observers are told of
    // it too.
    const std::string& linkNotice() const { return linkNotice_; }
    const std::string& linkProblem() const { return linkProblem_; }
    // Told whenever the link goes down, comes back, or its problem changes.
    void addLinkObserver(LinkObserver observer);

    // Closes the device and opens the same one again: the entry it had in
    // the device list (the same serial number, path or network address),
    // found in a fresh list, waiting a few milliseconds at most for a slow
    // device to answer. True when the link is up again.
    bool reopen();
    static constexpr uint32_t ReopenWaitMs = 5;
    // Asks an instrument that was not answering whether it answers again,
    // with the marker that brings the line back in step. True when it does;
    // the link is then up again.
    bool probe();

private:
    void runQueued();
    bool write(const std::string& message);
    bool refused(const std::string& message) const;
    bool voided(const std::string& message) const;
    usblink::Reply exchange(const std::string& message);
    usblink::Reply awaitReply(const std::string& query, const std::function<usblink::Reply()>& steps);
    usblink::Reply resynchronise();
    void noteSilence();
    void noteNotice();
    void atEventPoint();
    void tellWaitObservers() const;
    void report(Direction direction, const std::string& line) const;
    void beginExchange();
    bool carrying() const;
    void noteOpened();
    void noteLinkProblem(std::string problem);
    void noteLoss(usblink::DeviceHandle handle);
    int32_t indexToReopen();

    LinkWatch watch_;
    usblink::FTDI_Driver::Clock clock_;
    usblink::FTDI_Driver driver_;
    LineSync sync_;
    bool notAnswering_ = false;
    usblink::DeviceHandle handle_ = 0;
    usblink::DeviceList listed_; // the last device list
    int32_t openedIndex_ = 0;
    std::string openedEntry_; // the opened device's entry, if it was listed
    std::string linkProblem_;
    std::string linkNotice_;
    bool exchangeBeganUp_ = false;
    std::vector<LinkObserver> linkObservers_;
    std::optional<AwaitedReply> awaited_;
    std::vector<WaitObserver> waitObservers_;
    usblink::FTDI_Driver::EventPump processEvents_;
    bool closed_ = false;
    int depth_ = 0;
    int exclusiveDepth_ = 0;
    bool draining_ = false;
    struct Queued {
        Exchange exchange;
        std::string origin;
        bool voided = false;
    };
    bool voiding_ = false; // a voided exchange runs
    std::deque<Queued> ahead_;
    std::deque<Queued> queue_;
    std::string origin_ = PanelOrigin;
    std::vector<std::pair<ObserverId, LineObserver>> observers_;
    ObserverId nextObserverId_ = 0;
};

} // namespace session
