#include "LineSync.h"

#include <algorithm>

#include "CommandSet.h"
#include "MessageSyntax.h"

namespace session {

namespace {

// An identification reply as IEEE 488.2 has it: maker, model, serial number
// and firmware version, separated by commas.
bool shapedLikeAnIdentity(const std::string& line)
{
    return std::ranges::count(line, ',') == 3;
}

bool identifies(std::string_view message)
{
    const instrument::MessageParts parts = instrument::splitMessage(message);
    return parts.isQuery && parts.arguments.empty() && instrument::matchesHeader(parts.header, "*IDN");
}

} // namespace

void LineSync::noteReply(std::string_view message, const usblink::Reply& reply)
{
    switch (reply.outcome) {
    case usblink::Reply::Outcome::Answered:
        timeOutsInARow_ = 0;
        if (identifies(message))
            identity_ = reply.text;
        return;
    case usblink::Reply::Outcome::TimedOut:
        ++timeOutsInARow_;
        outOfStep_ = true;
        return;
    case usblink::Reply::Outcome::Failed:
        outOfStep_ = true;
        return;
    }
}

// Markers older than their lifetime are no longer waited for. Until the
// identification has been read, a line shaped like one is taken for the
// marker's answer, and learnt.
LineSync::Marking LineSync::take(const usblink::Reply& line, std::chrono::milliseconds now)
{
    // Before an answer is matched too: each answer goes to the oldest
    // marker, so one whose answer was lost would otherwise take the next
    // one's for ever.
    std::erase_if(markers_, [now](std::chrono::milliseconds sent) { return now - sent >= MarkerLifetime; });
    if (!line.answered()) {
        timeOutsInARow_ += line.outcome == usblink::Reply::Outcome::TimedOut ? 1 : 0;
        return Marking::NotInStep;
    }
    if (!answersAMarker(line.text))
        return Marking::Discarded;
    markers_.pop_front();
    if (!markers_.empty())
        return Marking::Discarded;
    outOfStep_ = false;
    timeOutsInARow_ = 0;
    return Marking::InStep;
}

bool LineSync::answersAMarker(const std::string& line)
{
    if (markers_.empty())
        return false;
    if (identity_.empty() && shapedLikeAnIdentity(line))
        identity_ = line;
    return line == identity_;
}

void LineSync::restart()
{
    identity_.clear();
    markers_.clear();
    outOfStep_ = false;
    timeOutsInARow_ = 0;
}

} // namespace session
