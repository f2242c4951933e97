#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>

namespace usblink {

// The telnet side of an RFC 2217 link (telnet with COM-port control), as a
// client speaks it: data goes out with its 0xFF bytes doubled, and what
// comes in is split into data and telnet commands. The client offers binary
// transmission both ways and COM-port control, answers the far side's
// option requests once per change of the option's state (a request for an
// option it refused is refused once only, however often it comes), and
// never waits for an acknowledgement: a far side behind a pseudo-terminal,
// say, acknowledges no modem-line request. A subnegotiation longer than any
// RFC 2217 has is discarded at MaxSubnegotiationBytes, and what follows is
// data again.
class TelnetCodec {
public:
    static constexpr std::size_t MaxSubnegotiationBytes = 1024;

    // RFC 2217's client-to-server commands used here.
    enum ComPortCommand : uint8_t { SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5 };

    // What the client says when the connection opens.
    std::string greeting();

    static std::string escape(std::string_view data);

    // One COM-port command with its value, big-endian as RFC 2217 has it.
    static std::string comPort(ComPortCommand command, uint32_t value, int valueBytes);

    // Takes received bytes: appends their data to data and returns the
    // answers to send back (empty when there is nothing to answer).
    std::string decode(std::string_view bytes, std::string& data);

    // How many subnegotiations were cut off at their bound so far.
    int discardedSubnegotiations() const { return discarded_; }

private:
    std::string answer(uint8_t verb, uint8_t option);
    void cutOverlongSubnegotiation();

    enum class State { Data, Command, Option, Sub, SubCommand };
    State state_ = State::Data;
    uint8_t verb_ = 0;
    std::set<uint8_t> offered_; // options the client said WILL to
    std::set<uint8_t> asked_; // options the client said DO to
    std::set<uint8_t> refusedToDo_; // options the client said WONT to, unasked
    std::set<uint8_t> refusedToAsk_; // options the client said DONT to, unasked
    std::size_t subLength_ = 0;
    int discarded_ = 0;
};

} // namespace usblink
