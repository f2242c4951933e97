#include "InstrumentSession.h"

#include <algorithm>

#include "CommandSet.h"
#include <utility>

namespace session {

namespace {

// Where the backend has no words of its own.
constexpr const char* OpenFailedText = "The device could not be opened.";
constexpr const char* GoneText = "The device stopped answering: it was unplugged, or its line failed.";
constexpr const char* SilentText
    = "The instrument does not answer: its last two queries had no reply. Is it switched on, and its cable in?";

const usblink::Reply NotSent { usblink::FTDI_Driver::ReadTimeout, usblink::Reply::Outcome::TimedOut };

// Counts an exchange as running for the scope's life; exchanges nest.
class ExchangeMark {
public:
    explicit ExchangeMark(int& depth)
        : depth_(depth)
    {
        ++depth_;
    }
    ~ExchangeMark() { --depth_; }
    ExchangeMark(const ExchangeMark&) = delete;
    ExchangeMark& operator=(const ExchangeMark&) = delete;

private:
    int& depth_;
};

} // namespace

InstrumentSession::InstrumentSession(
    usblink::BridgeLibrary& library, usblink::FTDI_Driver::EventPump processEvents, usblink::FTDI_Driver::Clock clock)
    : watch_(library, [this](usblink::DeviceHandle handle) { noteLoss(handle); })
    , clock_(std::move(clock))
    , driver_(watch_, [this] { atEventPoint(); }, clock_)
    , processEvents_(std::move(processEvents))
{
    watch_.watchLosses([this](usblink::DeviceHandle handle) { noteLoss(handle); });
    watch_.pumpWhileWaiting([this] { atEventPoint(); });
}

void InstrumentSession::atEventPoint()
{
    if (processEvents_)
        processEvents_();
    if (awaited_)
        tellWaitObservers();
}

void InstrumentSession::tellWaitObservers() const
{
    for (const WaitObserver& observer : waitObservers_)
        observer();
}

// The library may outlive the session (several sessions in turn on one
// library): it is to report no more losses here, nor pump its events.
InstrumentSession::~InstrumentSession()
{
    watch_.watchLosses({});
    watch_.pumpWhileWaiting({});
}

// A device that goes while its instrument is silent is gone all the same.
void InstrumentSession::noteLoss(usblink::DeviceHandle handle)
{
    if (handle != handle_ || (linkDown() && !notAnswering_))
        return;
    notAnswering_ = false;
    const std::string reason = watch_.lossReason(handle);
    noteLinkProblem(reason.empty() ? GoneText : reason);
}

usblink::DeviceList InstrumentSession::listDevices()
{
    listed_ = driver_.EnumerateDevices();
    return listed_;
}

void InstrumentSession::open(int32_t index)
{
    if (closed_)
        return;
    openedIndex_ = index;
    openedEntry_ = index >= 0 && static_cast<std::size_t>(index) < listed_.size() ? listed_[std::size_t(index)] : "";
    handle_ = driver_.OpenDevice(index);
    noteOpened();
}

void InstrumentSession::noteOpened()
{
    sync_.restart();
    notAnswering_ = false;
    noteNotice();
    if (handle_ != -1) {
        noteLinkProblem({});
        return;
    }
    const std::string reason = watch_.openFailure();
    noteLinkProblem(reason.empty() ? OpenFailedText : reason);
}

bool InstrumentSession::reopen()
{
    if (closed_)
        return false;
    if (handle_ > 0)
        driver_.CloseDevice(std::exchange(handle_, -1));
    const int32_t index = indexToReopen();
    if (index < 0) {
        noteLinkProblem(openedEntry_ + " is not attached.");
        return false;
    }
    watch_.limitOpenWait(ReopenWaitMs);
    handle_ = driver_.OpenDevice(index);
    watch_.limitOpenWait(usblink::UnlimitedOpenWait);
    if (handle_ != -1)
        note("reconnect: " + (openedEntry_.empty() ? "the device" : openedEntry_) + " opened again");
    noteOpened();
    return !linkDown();
}

// The device is found again by its entry, since its index may have moved
// (another adapter plugged in meanwhile); one opened unlisted keeps its index.
int32_t InstrumentSession::indexToReopen()
{
    if (openedEntry_.empty())
        return openedIndex_;
    const usblink::DeviceList devices = driver_.EnumerateDevices();
    const auto found = std::ranges::find(devices, openedEntry_);
    return found == devices.end() ? -1 : static_cast<int32_t>(found - devices.begin());
}

void InstrumentSession::noteLinkProblem(std::string problem)
{
    if (problem == linkProblem_)
        return;
    note(problem.empty() ? "link up" : (linkProblem_.empty() ? "link down: " : "link still down: ") + problem);
    linkProblem_ = std::move(problem);
    for (const LinkObserver& observer : linkObservers_)
        observer();
}

void InstrumentSession::addLinkObserver(LinkObserver observer)
{
    linkObservers_.push_back(std::move(observer));
}

// An exchange that began while the link was up runs to its end; nothing
// else reaches the library while the link is down. A silent instrument is
// asked nothing more, not even by the exchange that found it silent.
bool InstrumentSession::carrying() const
{
    return !closed_ && !notAnswering_ && !voiding_ && (!linkDown() || (busy() && exchangeBeganUp_));
}

void InstrumentSession::beginExchange()
{
    if (!busy())
        exchangeBeganUp_ = !linkDown();
}

void InstrumentSession::close()
{
    if (std::exchange(closed_, true))
        return;
    driver_.CloseDevice(handle_);
}

bool InstrumentSession::send(const std::string& message)
{
    if (refused(message) || voided(message) || !carrying())
        return false;
    return write(message);
}

bool InstrumentSession::voided(const std::string& message) const
{
    if (voiding_)
        report(Direction::Note, "not sent, as it was queued for the instrument that answered before: " + message);
    return voiding_;
}

// Cut, or with its bytes changed, the message would be another one.
bool InstrumentSession::refused(const std::string& message) const
{
    if (instrument::messageProblem(message).empty())
        return false;
    report(Direction::Refused, message);
    return true;
}

// Reported before the write: a message sent by a handler that runs while
// this one is written is written, and reported, after it.
bool InstrumentSession::write(const std::string& message)
{
    report(Direction::Sent, message);
    return driver_.SendCommand(handle_, message) == 0;
}

usblink::Reply InstrumentSession::ask(const std::string& message)
{
    usblink::Reply reply { usblink::FTDI_Driver::ReadError, usblink::Reply::Outcome::Failed };
    exclusive([&] {
        if (refused(message) || voided(message))
            return;
        if (notAnswering_)
            reply = NotSent;
        else if (carrying())
            reply = awaitReply(message, [&] { return exchange(message); });
    });
    return reply;
}

// Marks the reply to query as awaited while steps take it; a wait inside
// another (an exchange asked for from inside one) gives the outer one back.
usblink::Reply InstrumentSession::awaitReply(const std::string& query, const std::function<usblink::Reply()>& steps)
{
    std::optional<AwaitedReply> outer = std::exchange(awaited_, AwaitedReply { query, clock_() });
    tellWaitObservers();
    const usblink::Reply reply = steps();
    awaited_ = std::move(outer);
    tellWaitObservers();
    return reply;
}

void InstrumentSession::addWaitObserver(WaitObserver observer)
{
    waitObservers_.push_back(std::move(observer));
}

// A query and its reply, on a line brought back in step first if need be.
// While the link is down, an exchange that runs to its end meets only
// failing calls: there is no step to keep.
usblink::Reply InstrumentSession::exchange(const std::string& message)
{
    if (!sync_.inStep() && !linkDown()) {
        const usblink::Reply marked = resynchronise();
        if (!marked.answered())
            return marked;
    }
    // One query is outstanding at a time and the instrument sends nothing
    // unasked, so bytes already waiting when a query goes out are stale.
    driver_.PurgeInput(handle_);
    write(message);
    const usblink::Reply reply = driver_.ReadReply(handle_);
    report(Direction::Received, reply.text);
    if (!linkDown()) {
        sync_.noteReply(message, reply);
        noteSilence();
    }
    noteNotice();
    return reply;
}

// Sends the marker and reads until its answer, as the panel's own doing.
// Returns the marker's answer, or the time-out or failure that ended the
// wait for it.
usblink::Reply InstrumentSession::resynchronise()
{
    const std::string asker = std::exchange(origin_, PanelOrigin);
    driver_.PurgeInput(handle_);
    write(instrument::commands::Identify);
    sync_.noteMarkerSent(clock_());
    usblink::Reply line;
    LineSync::Marking marking = LineSync::Marking::Discarded;
    while (marking == LineSync::Marking::Discarded) {
        line = driver_.ReadReply(handle_);
        report(Direction::Received, line.text);
        marking = sync_.take(line, clock_());
    }
    origin_ = asker;
    noteSilence();
    return line;
}

void InstrumentSession::noteNotice()
{
    std::string notice = handle_ > 0 ? watch_.notice(handle_) : std::string();
    if (notice == linkNotice_)
        return;
    linkNotice_ = std::move(notice);
    for (const LinkObserver& observer : linkObservers_)
        observer();
}

void InstrumentSession::noteSilence()
{
    if (sync_.notAnswering() && !notAnswering_ && !linkDown()) {
        notAnswering_ = true;
        noteLinkProblem(SilentText);
    }
}

bool InstrumentSession::probe()
{
    bool answered = false;
    exclusive([&] {
        if (closed_ || !notAnswering_)
            return;
        answered = awaitReply(instrument::commands::Identify, [this] { return resynchronise(); }).answered();
    });
    if (answered) {
        notAnswering_ = false;
        noteLinkProblem({});
    }
    return answered;
}

void InstrumentSession::exclusive(const Exchange& steps)
{
    {
        beginExchange();
        const ExchangeMark running(depth_);
        const ExchangeMark exclusive(exclusiveDepth_);
        steps();
    }
    tellWaitObservers();
    runQueued();
}

void InstrumentSession::enqueue(Exchange exchange, std::string origin)
{
    queue_.push_back({ std::move(exchange), std::move(origin) });
    runQueued();
}

void InstrumentSession::enqueueAhead(Exchange exchange, std::string origin)
{
    ahead_.push_back({ std::move(exchange), std::move(origin) });
    runQueued();
}

// Runs queued exchanges one after another until both lines are empty, those
// queued ahead first; an exchange queued while one of them runs joins the
// end of its line.
void InstrumentSession::runQueued()
{
    if (busy() || draining_)
        return;
    draining_ = true;
    while (!ahead_.empty() || !queue_.empty()) {
        std::deque<Queued>& line = ahead_.empty() ? queue_ : ahead_;
        const Queued next = std::move(line.front());
        line.pop_front();
        beginExchange();
        const ExchangeMark running(depth_);
        origin_ = next.origin;
        voiding_ = next.voided;
        next.exchange();
        voiding_ = false;
        origin_ = PanelOrigin;
    }
    draining_ = false;
}

std::size_t InstrumentSession::voidQueued()
{
    for (std::deque<Queued>* line : { &ahead_, &queue_ })
        for (Queued& queued : *line)
            queued.voided = true;
    return ahead_.size() + queue_.size();
}

void InstrumentSession::sendAhead(const std::string& message)
{
    if (busy())
        enqueueAhead([this, message] { send(message); });
    else
        send(message);
}

InstrumentSession::ObserverId InstrumentSession::addLineObserver(LineObserver observer)
{
    observers_.emplace_back(nextObserverId_, std::move(observer));
    return nextObserverId_++;
}

void InstrumentSession::removeLineObserver(ObserverId id)
{
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void InstrumentSession::note(const std::string& text) const
{
    for (const auto& [id, observer] : observers_)
        observer(Direction::Note, text, PanelOrigin);
}

void InstrumentSession::report(Direction direction, const std::string& line) const
{
    for (const auto& [id, observer] : observers_)
        observer(direction, line, origin_);
}

} // namespace session
