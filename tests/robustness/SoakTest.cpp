// A hundred thousand setting messages at full speed through the panel to the
// in-process simulator. Once the traffic log holds as many lines as it keeps
// and a thousand more have filled the caches and pools that a session needs,
// resident memory must stay where it is: a message that left anything behind
// would add up over the run.

#include <QPushButton>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "SimulatedBridge.h"
#include "MemoryInUse.h"
#include "PanelHarness.h"
#include "TrafficLogModel.h"

using namespace test_support;
using panel::SettingScrollBar;

namespace {

constexpr std::size_t Batch = 1'000;
constexpr std::size_t WarmUp = panel::TrafficLogModel::DefaultCapacity + Batch;
constexpr std::size_t Messages = 100'000;
constexpr double AllowedGrowth = 0.05;


class Soak : public testing::Test {
protected:
    void SetUp() override
    {
        panel.startUp();
        for (const instrument::Setting& setting : instrument::Settings) {
            if (SettingScrollBar* slider = panel.main.slider(setting.id))
                sliders.push_back(slider);
            else
                toggles.push_back(panel.main.button(setting.id));
        }
    }

    // One change of one control, each in turn: a slider one step up (from the
    // top back to the bottom), or a switch pressed.
    void changeControl(std::size_t n)
    {
        const std::size_t k = n % (sliders.size() + toggles.size());
        if (k >= sliders.size()) {
            toggles[k - sliders.size()]->click();
            return;
        }
        SettingScrollBar* slider = sliders[k];
        const int next = slider->setting() == slider->topSetting() ? slider->bottomSetting() : slider->setting() + 1;
        slider->setSetting(next);
    }

    // Sends one batch of messages and checks that each was one setting line;
    // the line log is emptied so that the harness itself does not grow.
    void sendBatch(std::size_t first)
    {
        for (std::size_t n = first; n < first + Batch; ++n)
            changeControl(n);
        auto& lines = panel.line.lines;
        ASSERT_EQ(lines.size(), Batch);
        ASSERT_THAT(lines, testing::Each(testing::Not(testing::EndsWith("?"))));
        lines.clear();
    }

    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };
    std::vector<SettingScrollBar*> sliders;
    std::vector<QPushButton*> toggles;
};

TEST_F(Soak, MemoryInUseStaysWithinFivePercentOverAHundredThousandMessages)
{
    panel.line.lines.clear();
    for (std::size_t first = 0; first < WarmUp; first += Batch)
        ASSERT_NO_FATAL_FAILURE(sendBatch(first));
    const long settled = memoryInUseKilobytes();
    for (std::size_t first = WarmUp; first < Messages; first += Batch)
        ASSERT_NO_FATAL_FAILURE(sendBatch(first));
    const long last = memoryInUseKilobytes();

    std::printf("memory in use after %zu messages: %ld kB, after %zu: %ld kB\n", WarmUp, settled, Messages, last);
    ASSERT_GT(settled, 0);
    EXPECT_LE(last, settled * (1 + AllowedGrowth));
    EXPECT_EQ(simulator.instrument().errorCount(), 0u);
    EXPECT_TRUE(panel.line.violations.empty());
}

} // namespace
