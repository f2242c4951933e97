// Replies that never end: an instrument that stays silent and one that
// babbles bytes without a line feed. Every query of a whole session still
// comes to an end with its failure word, the panel handles events between
// every two reads, and no reply is read beyond the length a line may have.

#include <gtest/gtest.h>

#include "PanelSession.h"
#include "ScriptedBridge.h"

using namespace test_support;
using usblink::FTDI_Driver;

namespace {

enum class Manner { Silent, SilentWithIoError, Babbling };

// One instrument attached that answers every read in the given manner. A
// babbler ends a line only after a million bytes: a reply that were not cut
// short would be read to there.
class UnendingBridge : public ScriptedBridge {
public:
    static constexpr std::size_t BabbleLength = 1'000'000;

    explicit UnendingBridge(Manner manner)
        : manner_(manner)
    {
        devices = { { "R6140K", "U1" } };
    }

    std::size_t mostReadsWithoutEvents = 0;
    std::size_t longestReply = 0;

    void eventPoint() { readsSinceEvents_ = 0; }

    usblink::FT_STATUS FT_Write(
        usblink::DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written) override
    {
        replyLength_ = 0;
        return ScriptedBridge::FT_Write(handle, buffer, count, written);
    }

    usblink::FT_STATUS FT_Read(usblink::DeviceHandle, void* buffer, uint32_t, uint32_t* received) override
    {
        mostReadsWithoutEvents = std::max(mostReadsWithoutEvents, ++readsSinceEvents_);
        if (manner_ != Manner::Babbling)
            return manner_ == Manner::Silent ? usblink::FT_OK : usblink::FT_IO_ERROR;
        *static_cast<char*>(buffer) = ++replyLength_ % BabbleLength == 0 ? '\n' : 'x';
        *received = 1;
        longestReply = std::max(longestReply, replyLength_);
        return usblink::FT_OK;
    }

private:
    Manner manner_;
    std::size_t readsSinceEvents_ = 0;
    std::size_t replyLength_ = 0;
};

struct Unending {
    const char* name;
    Manner manner;
    const char* word;
};

void PrintTo(const Unending& manner, std::ostream* out)
{
    *out << manner.name;
}

// A read with no byte is a time-out, with FT_IO_ERROR too, as D2XX has it.
const Unending Manners[] = {
    { "Silent", Manner::Silent, FTDI_Driver::ReadTimeout },
    { "SilentWithIoError", Manner::SilentWithIoError, FTDI_Driver::ReadTimeout },
    { "Babbling", Manner::Babbling, FTDI_Driver::ReadError },
};

class UnendingReply : public testing::TestWithParam<Unending> {
protected:
    UnendingReply()
    {
        panel.atEventPoint = [this] { bridge.eventPoint(); };
    }

    UnendingBridge bridge { GetParam().manner };
    PanelHarness panel { bridge };
    PanelSession session { panel };
};

TEST_P(UnendingReply, EveryQueryEndsWithItsFailureWordWhileEventsGoOn)
{
    session.run();

    const std::string word = GetParam().word;
    EXPECT_EQ(session.after(Phase::StartUp).idn, IdnCaption + word);
    for (Phase readBack : { Phase::StartUp, Phase::Reset, Phase::UserStates })
        EXPECT_EQ(session.after(readBack).refLock, RefLockCaption + word) << phaseName(readBack);
    EXPECT_EQ(session.after(Phase::ErrorQuery).messageBox, word);
    for (const Shown& shown : session.shown())
        EXPECT_EQ(shown.sendEnabled, -1);
    EXPECT_EQ(bridge.mostReadsWithoutEvents, 1u);
    EXPECT_LE(bridge.longestReply, FTDI_Driver::MaxReplyLength);
}

INSTANTIATE_TEST_SUITE_P(Manners, UnendingReply, testing::ValuesIn(Manners),
    [](const testing::TestParamInfo<Unending>& info) { return std::string(info.param.name); });

} // namespace
