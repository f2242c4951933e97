// Hundreds of random operator actions, many of them handled at the panel's
// event points in the middle of other exchanges, against the simulator. A
// checker on the line fails on a message sent while a query awaits its
// reply, on setting messages out of the order of the changes that caused
// them, and on any control that shows what the instrument does not hold.

#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>
#include <random>

#include "frmSaveState.h"
#include "SimulatedBridge.h"
#include "PanelHarness.h"

using namespace test_support;
using panel::SettingScrollBar;

namespace {

const Qt::Key SliderKeys[] = { Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_End };

bool isSettingMessage(const std::string& line)
{
    return line.back() != '?'
        && (line.front() == ':' || line.rfind("SYST:SAVE", 0) == 0 || line.rfind("SYST:REC", 0) == 0);
}

class RandomSession {
public:
    explicit RandomSession(unsigned seed)
        : rng_(seed)
    {
        panel_.startUp();
        panel_.atEventPoint = [this] { atEventPoint(); };
    }

    void run(int actions)
    {
        for (int i = 0; i < actions; ++i)
            topLevelAction();
        panel_.atEventPoint = nullptr;
    }

    void verify()
    {
        const std::vector<int> shown = controlValues();
        panel_.main.RefreshFromInstrument();
        EXPECT_EQ(controlValues(), shown) << "a control showed a value the instrument did not hold";
        EXPECT_EQ(instrumentValues(), controlValues());
        EXPECT_TRUE(panel_.line.violations.empty()) << panel_.line.violations.front();
        EXPECT_TRUE(mismatches_.empty()) << mismatches_.front();

        std::vector<std::string> sent;
        for (const std::string& line : panel_.line.lines)
            if (isSettingMessage(line))
                sent.push_back(line);
        EXPECT_EQ(sent, expected_) << "setting messages out of the order of their changes";
        EXPECT_GT(expected_.size(), 100u);
        EXPECT_GT(nestedActions_, 50);
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(rng_); }
    frmMain& main() { return panel_.main; }

    std::vector<int> controlValues()
    {
        std::vector<int> values;
        for (const instrument::Setting& setting : instrument::Settings)
            values.push_back(shownValue(main(), setting.id));
        return values;
    }

    std::vector<int> instrumentValues()
    {
        std::vector<int> values;
        for (const instrument::Setting& setting : instrument::Settings)
            values.push_back(simulator_.instrument().value(setting.mnemonic).value());
        return values;
    }

    // A setting of the given kind, picked at random.
    const instrument::Setting& pickSetting(bool twoState)
    {
        std::vector<const instrument::Setting*> candidates;
        for (const instrument::Setting& setting : instrument::Settings)
            if ((setting.kind == instrument::SettingKind::TwoState) == twoState)
                candidates.push_back(&setting);
        return *candidates[static_cast<std::size_t>(pick(static_cast<int>(candidates.size())))];
    }

    void topLevelAction()
    {
        if (pick(12) == 0)
            userStates();
        else
            mainWindowAction();
    }

    void atEventPoint()
    {
        if (QApplication::activeModalWidget())
            return; // the main window takes no input under a modal window
        if (main().sending() && controlValues() != instrumentValues())
            mismatches_.push_back("controls and instrument differ at an event point");
        if (depth_ < 3 && pick(3) == 0) {
            ++depth_;
            ++nestedActions_;
            mainWindowAction();
            --depth_;
        }
    }

    void mainWindowAction()
    {
        switch (pick(10)) {
        case 0:
            main().cmdRST->click();
            break;
        case 1:
            main().cmdError->click();
            break;
        case 2:
        case 3:
            toggleClick();
            break;
        default:
            sliderKey();
        }
    }

    void toggleClick()
    {
        const instrument::Setting& setting = pickSetting(true);
        if (main().sending())
            expected_.push_back(setting.prefix + std::string(main().state(setting.id) == 0 ? "1" : "0"));
        main().button(setting.id)->click();
    }

    void sliderKey()
    {
        const instrument::Setting& setting = pickSetting(false);
        SettingScrollBar* bar = main().slider(setting.id);
        const Qt::Key key = SliderKeys[pick(6)];
        const int now = bar->setting();
        const int next = std::clamp(key == Qt::Key_Up ? now + 1
                : key == Qt::Key_Down                 ? now - 1
                : key == Qt::Key_PageUp               ? now + bar->pageStep()
                : key == Qt::Key_PageDown             ? now - bar->pageStep()
                : key == Qt::Key_Home                 ? bar->topSetting()
                                                      : bar->bottomSetting(),
            bar->bottomSetting(), bar->topSetting());
        if (main().sending() && next != now)
            expected_.push_back(setting.prefix + std::to_string(next));
        QTest::keyClick(bar, key);
    }

    void userStates()
    {
        const auto watch = whenModalOpens<frmSaveState>([this](frmSaveState* window) {
            for (int presses = pick(4); presses > 0; --presses) {
                for (int steps = pick(4); steps > 0; --steps)
                    QTest::keyClick(window->scrUser, pick(2) ? Qt::Key_Up : Qt::Key_Down);
                const bool save = pick(2) == 0;
                expected_.push_back((save ? "SYST:SAVE " : "SYST:REC ") + std::to_string(window->scrUser->setting()));
                (save ? window->cmdSave : window->cmdRecall)->click();
            }
            window->cmdReturn->click();
        });
        main().cmdUserStates->click();
    }

    sim::SimulatedBridge simulator_;
    PanelHarness panel_ { simulator_ };
    std::mt19937 rng_;
    std::unique_ptr<QTimer> acknowledger_ = acknowledgeEveryMessage();
    std::vector<std::string> expected_;
    std::vector<std::string> mismatches_;
    int depth_ = 0;
    int nestedActions_ = 0;
};

class RandomizedSession : public testing::TestWithParam<unsigned> { };

TEST_P(RandomizedSession, KeepsOneExchangeAtATimeAndEveryChangeInOrder)
{
    RandomSession session(GetParam());
    session.run(300);
    session.verify();
}

INSTANTIATE_TEST_SUITE_P(Seeds, RandomizedSession, testing::Values(1u, 20261207u, 4242u));

} // namespace
