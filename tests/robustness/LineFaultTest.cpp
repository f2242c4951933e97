// Faults on the line that leave stale bytes behind: a reply that comes after
// the time-out, one split across it, a line cut at the length cap, and a line
// sent unasked while the panel is idle. The read-back that meets the fault and
// the one after it must each put every control at its own setting's value,
// and the next slider step must send the right number.

#include <QTest>
#include <algorithm>
#include <array>
#include <gtest/gtest.h>
#include <utility>

#include "PanelHarness.h"
#include "ScriptedBridge.h"

using namespace test_support;

namespace {

enum class LineFault { LateReply, ReplySplitAcrossTimeOut, OverLongLine, UnaskedLine };

std::string faultName(const testing::TestParamInfo<LineFault>& info)
{
    return std::array { "LateReply", "ReplySplitAcrossTimeOut", "OverLongLine", "UnaskedLine" }[int(info.param)];
}

// An instrument whose settings read 11, 12, ... in the order of the read-back:
// each value is its own and valid for every control, so a reply taken for
// another query shows. Time-outs are scripted reads with no byte. The armed
// fault strikes at :BAS:IOFF?.
class FaultyLine : public ScriptedBridge {
public:
    FaultyLine()
    {
        devices = { { "R6140K", "A1" } };
        respond = [this](const std::string& line) { return answer(line); };
    }

    static int valueOf(const std::string& query)
    {
        return 11 + static_cast<int>(std::ranges::find(ReadBackQueries, query) - ReadBackQueries.begin());
    }

    std::optional<LineFault> armed;

private:
    std::string answer(const std::string& line)
    {
        if (!line.ends_with('?'))
            return "";
        const std::string reply = std::to_string(valueOf(line)) + "\r\n";
        if (line != ":BAS:IOFF?" || !armed)
            return reply;
        switch (*std::exchange(armed, std::nullopt)) {
        case LineFault::LateReply:
            return timingOutAfter(0, reply);
        case LineFault::ReplySplitAcrossTimeOut:
            return timingOutAfter(1, reply);
        default:
            return std::string(usblink::FTDI_Driver::MaxReplyLength, '9') + reply;
        }
    }

    // The reply with a time-out after its first bytes; the rest comes later.
    std::string timingOutAfter(std::size_t bytes, const std::string& reply)
    {
        receive(reply.substr(0, bytes));
        reads.push_back({});
        receive(reply.substr(bytes));
        return "";
    }
};

class LineFaults : public testing::TestWithParam<LineFault> { };

TEST_P(LineFaults, EveryControlGetsItsOwnSettingAndTheNextStepSendsTheRightNumber)
{
    FaultyLine instrument;
    PanelHarness panel(instrument);
    frmMain& m = panel.main;
    panel.startUp();
    if (GetParam() == LineFault::UnaskedLine)
        instrument.receive("777\r\n");
    else
        instrument.armed = GetParam();
    for (int readBack = 0; readBack < 2; ++readBack) {
        m.RefreshFromInstrument();
        for (const instrument::Setting& setting : instrument::Settings)
            EXPECT_EQ(shownValue(m, setting.id), FaultyLine::valueOf(setting.query)) << setting.query;
    }
    EXPECT_FALSE(instrument.armed.has_value());
    QTest::keyClick(m.scrIAtt, Qt::Key_PageUp);
    EXPECT_EQ(panel.line.lines.back(), ":MOD:IATT 24");
}

INSTANTIATE_TEST_SUITE_P(Faults, LineFaults,
    testing::Values(
        LineFault::LateReply, LineFault::ReplySplitAcrossTimeOut, LineFault::OverLongLine, LineFault::UnaskedLine),
    faultName);

} // namespace
