#pragma once

#include <chrono>
#include <deque>
#include <string>
#include <string_view>

#include "FTDI_Driver.h"

namespace session {

// Keeps replies matched to their queries. The instrument answers its queries
// in order, one line each; when a reply does not come in time, or comes cut
// short, the line is out of step: that answer may still be on its way, and
// must not be taken for the next query's. Before the next query a marker
// goes out, the identification query, whose answer is known, and every line
// before that answer is discarded. A marker that is not answered in time
// stays outstanding as well: an identification line answers the oldest one,
// and the line is in step again once every marker of the last MarkerLifetime
// has its answer. So replies up to MarkerLifetime late never reach a later
// asker.
//
// Time-outs in a row, markers' included, tell an instrument that does not
// answer at all.
class LineSync {
public:
    static constexpr std::chrono::milliseconds MarkerLifetime { 30000 };
    static constexpr int TimeOutsOfASilentInstrument = 2;

    // What a line read while the line is brought back in step means.
    enum class Marking { Discarded, InStep, NotInStep };

    bool inStep() const { return !outOfStep_ && markers_.empty(); }
    bool notAnswering() const { return timeOutsInARow_ >= TimeOutsOfASilentInstrument; }

    // After each query: how its reply came. The identification's answer is
    // the marker's answer from then on.
    void noteReply(std::string_view message, const usblink::Reply& reply);

    void noteMarkerSent(std::chrono::milliseconds now) { markers_.push_back(now); }
    // A line read after a marker.
    Marking take(const usblink::Reply& line, std::chrono::milliseconds now);

    // A device opened anew owes no answers and may be another instrument.
    void restart();

private:
    bool answersAMarker(const std::string& line);

    std::string identity_;
    std::deque<std::chrono::milliseconds> markers_; // when each outstanding marker went out
    bool outOfStep_ = false;
    int timeOutsInARow_ = 0;
};

} // namespace session
