#pragma once

#include <QTest>
#include <QTimer>
#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "PanelHarness.h"

namespace test_support {

// The operator, while remote clients keep the instrument busy: presses Up
// on the I attenuator every twenty lines or so the instrument receives, up
// to the slider's top, whenever others' exchange runs (the panel's own, the
// follower's read-back, keeps the operator out). Afterwards it checks that
// no press was lost and that each went out behind at most the exchange
// running when it was made.
class OperatorHand {
public:
    explicit OperatorHand(PanelHarness& panel)
        : panel_(panel)
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] { pressWhenBusy(); });
        timer_.start(0);
    }

    void stop() { timer_.stop(); }
    int presses() const { return presses_; }

    void expectEveryPressSentInTurn() const
    {
        const std::vector<std::string>& lines = panel_.line.lines;
        EXPECT_EQ(panel_.main.scrIAtt->setting(), presses_) << "no operator change was lost";
        for (int press = 0; press < presses_; ++press) {
            const auto pressedAt = lines.begin() + static_cast<std::ptrdiff_t>(linesAtPress_[press + 1]);
            const auto sent = std::find(pressedAt, lines.end(), ":MOD:IATT " + std::to_string(press + 1));
            ASSERT_NE(sent, lines.end());
            EXPECT_TRUE(std::all_of(pressedAt, sent, [](const std::string& line) { return line.starts_with(":MOD:IATT "); }))
                << "change " << press + 1 << " waited behind a client's exchange";
        }
    }

private:
    void pressWhenBusy()
    {
        frmMain& m = panel_.main;
        const std::size_t lines = panel_.line.lines.size();
        if (panel_.session.busy() && m.sending() && lines >= linesAtPress_.back() + 20 && presses_ < m.scrIAtt->topSetting()) {
            linesAtPress_.push_back(lines);
            QTest::keyClick(m.scrIAtt, Qt::Key_Up);
            ++presses_;
        }
    }

    PanelHarness& panel_;
    QTimer timer_;
    int presses_ = 0;
    std::vector<std::size_t> linesAtPress_ { panel_.line.lines.size() };
};

} // namespace test_support
