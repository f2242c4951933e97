#include "TelnetCodec.h"

namespace usblink {
namespace {

constexpr uint8_t Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;
constexpr uint8_t Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;

bool clientMayDo(uint8_t option)
{
    return option == Binary || option == SuppressGoAhead || option == ComPortOption;
}

bool serverMayDo(uint8_t option)
{
    return option == Binary || option == SuppressGoAhead;
}

std::string command(uint8_t verb, uint8_t option)
{
    return { static_cast<char>(Iac), static_cast<char>(verb), static_cast<char>(option) };
}

} // namespace

std::string TelnetCodec::greeting()
{
    std::string words;
    for (uint8_t option : { ComPortOption, Binary, SuppressGoAhead }) {
        words += command(Will, option);
        offered_.insert(option);
    }
    for (uint8_t option : { Binary, SuppressGoAhead }) {
        words += command(Do, option);
        asked_.insert(option);
    }
    return words;
}

std::string TelnetCodec::escape(std::string_view data)
{
    std::string escaped;
    escaped.reserve(data.size());
    for (char c : data) {
        escaped += c;
        if (static_cast<uint8_t>(c) == Iac)
            escaped += c;
    }
    return escaped;
}

std::string TelnetCodec::comPort(ComPortCommand which, uint32_t value, int valueBytes)
{
    std::string bytes;
    for (int shift = 8 * (valueBytes - 1); shift >= 0; shift -= 8)
        bytes += static_cast<char>((value >> shift) & 0xFF);
    return std::string { static_cast<char>(Iac), static_cast<char>(Sb), static_cast<char>(ComPortOption),
               static_cast<char>(which) }
        + escape(bytes) + std::string { static_cast<char>(Iac), static_cast<char>(Se) };
}

// Agrees to what the client wants and refuses the rest; an option already
// in the state asked for is not answered again, nor one already refused, so
// that no request loops and a far side repeating a request gets one answer.
std::string TelnetCodec::answer(uint8_t verb, uint8_t option)
{
    switch (verb) {
    case Do:
        if (!clientMayDo(option))
            return refusedToDo_.insert(option).second ? command(Wont, option) : "";
        return offered_.insert(option).second ? command(Will, option) : "";
    case Dont:
        return offered_.erase(option) ? command(Wont, option) : "";
    case Will:
        if (!serverMayDo(option))
            return refusedToAsk_.insert(option).second ? command(Dont, option) : "";
        return asked_.insert(option).second ? command(Do, option) : "";
    default: // Wont
        return asked_.erase(option) ? command(Dont, option) : "";
    }
}

// What follows a subnegotiation cut off at its bound is taken for data.
void TelnetCodec::cutOverlongSubnegotiation()
{
    if (state_ != State::Data && ++subLength_ > MaxSubnegotiationBytes) {
        state_ = State::Data;
        ++discarded_;
    }
}

// The far side's COM-port answers and notifications arrive as
// subnegotiations: they carry nothing the link needs and are skipped.
std::string TelnetCodec::decode(std::string_view bytes, std::string& data)
{
    std::string answers;
    for (const char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        switch (state_) {
        case State::Data:
            if (byte == Iac)
                state_ = State::Command;
            else
                data += c;
            break;
        case State::Command:
            state_ = State::Data;
            if (byte == Iac) {
                data += c;
            } else if (byte >= Will) {
                verb_ = byte;
                state_ = State::Option;
            } else if (byte == Sb) {
                state_ = State::Sub;
                subLength_ = 0;
            }
            break;
        case State::Option:
            answers += answer(verb_, byte);
            state_ = State::Data;
            break;
        case State::Sub:
            state_ = byte == Iac ? State::SubCommand : State::Sub;
            cutOverlongSubnegotiation();
            break;
        case State::SubCommand:
            state_ = byte == Se ? State::Data : State::Sub;
            cutOverlongSubnegotiation();
            break;
        }
    }
    return answers;
}

} // namespace usblink
