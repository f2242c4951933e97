// The simulated instrument's command interpreter on arbitrary bytes. The
// first byte gives a piece size: the rest goes to one instrument in pieces of
// that size, as a line may deliver it, and to another all at once; both must
// answer alike. The rest is also interpreted whole as one line. Whatever came
// in, no setting may leave its range and the error queue stays bounded.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "Instrument.h"

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// Replies are whole lines, each ending in CR LF and holding no other line end.
void checkReplies(std::string_view replies)
{
    while (!replies.empty()) {
        const auto end = replies.find("\r\n");
        require(end != std::string_view::npos);
        require(replies.substr(0, end).find_first_of("\r\n") == std::string_view::npos);
        replies.remove_prefix(end + 2);
    }
}

void checkState(const sim::Instrument& instrument)
{
    for (const instrument::Setting& setting : instrument::Settings) {
        const auto value = instrument.value(setting.mnemonic);
        const instrument::SettingRange range = instrument::rangeOf(setting.kind);
        require(value && *value >= range.min && *value <= range.max);
    }
    require(instrument.errorCount() <= sim::Instrument::ErrorQueueCapacity);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t piece = data[0] + 1u;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);

    sim::Instrument inPieces;
    std::string piecewiseReplies;
    for (std::size_t at = 0; at < bytes.size(); at += piece)
        piecewiseReplies += inPieces.receive(bytes.substr(at, piece));
    sim::Instrument atOnce;
    const std::string replies = atOnce.receive(bytes);
    checkReplies(replies);
    require(piecewiseReplies == replies);
    require(inPieces.errorCount() == atOnce.errorCount());
    checkState(inPieces);

    sim::Instrument oneLine;
    const auto reply = oneLine.handleLine(bytes);
    require(!reply || reply->find_first_of("\r\n") == std::string::npos);
    checkState(oneLine);
    return 0;
}
