// The Calibrate window run windowless against the simulated analyzer looking
// at the simulated instrument, through the panel's own session. With
// R6140K_SCREENSHOTS set to a folder, it also saves the window mid-run and at
// the end there.

#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QToolTip>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>

#include "CalibrationStart.h"
#include "CalibrationTableFile.h"
#include "PanelHarness.h"
#include "SimulatedAnalyzer.h"
#include "SimulatedBridge.h"
#include "frmCalibrate.h"

using namespace test_support;
using instrument::SettingId;
using testing::HasSubstr;

namespace {

void saveScreenshot(QWidget& window, const char* name)
{
    if (const QByteArray folder = qgetenv("R6140K_SCREENSHOTS"); !folder.isEmpty())
        window.grab().save(QString("%1/%2.png").arg(QString::fromLocal8Bit(folder), name));
}

TEST(CalibrateWindow, RunsToAResultWithThePlotAndStepFollowingAndTheOperatorRefusedAndKeepsItInFiles)
{
    sim::SimulatedBridge simulator;
    PanelHarness panel { simulator };
    panel.startUp();
    frmMain& m = panel.main;
    sim::SimulatedAnalyzer analyzer(simulator.instrument());
    ASSERT_TRUE(analyzer.listen(QHostAddress::LocalHost)) << analyzer.errorString().toStdString();
    std::vector<std::string> operatorOffsets; // the panel's own offset messages
    m.session().addLineObserver([&](auto direction, const std::string& line, const std::string& origin) {
        if (direction == session::InstrumentSession::Direction::Sent && origin == session::InstrumentSession::PanelOrigin
            && line.starts_with(":MOD:IOFF"))
            operatorOffsets.push_back(line);
    });

    frmCalibrate window(m, app::calibrationStart(m.session()));
    window.offerResource("TCPIP::192.0.2.1::5025::SOCKET");
    window.offerResource(analyzer.socketResource(), true);
    EXPECT_EQ(window.cboResource->currentText(), analyzer.socketResource());
    window.show();
    std::set<QString> steps;
    std::vector<int> plotted;
    bool refusedShown = false;
    panel.atEventPoint = [&] {
        steps.insert(window.lblStep->text());
        if (plotted.empty() || plotted.back() != window.carrierSeries->count())
            plotted.push_back(window.carrierSeries->count());
        if (plotted.size() == 8 && !refusedShown) {
            m.scrIMod->setFocus();
            QTest::keyClick(m.scrIMod, Qt::Key_PageUp);
            refusedShown = QToolTip::text().contains("moved by the calibration");
            saveScreenshot(window, "calibrate-mid-run");
        }
    };
    window.cmdStart->click();
    panel.atEventPoint = nullptr;
    saveScreenshot(window, "calibrate-end");

    ASSERT_TRUE(window.result());
    const calibration::Result& result = *window.result();
    EXPECT_TRUE(result.succeeded()) << result.problem;
    EXPECT_GT(result.carrierBelowStartDb(), 20);
    EXPECT_GT(plotted.size(), 10u) << "the plot grew reading by reading";
    ASSERT_TRUE(result.wantedDbm);
    EXPECT_EQ(window.carrierSeries->count() + window.imageSeries->count(), result.readings - calibration::Request {}.averaging)
        << "every reading plotted but the wanted sideband's";
    EXPECT_GT(steps.size(), 3u);
    EXPECT_TRUE(refusedShown);
    EXPECT_TRUE(operatorOffsets.empty()) << operatorOffsets.front();
    EXPECT_FALSE(m.claimed(SettingId::ModulatorIOffset));
    for (const calibration::SettingValue& setting : result.settings) {
        const std::string_view query = instrument::settingOf(setting.id).query;
        EXPECT_EQ(simulator.instrument().value(query.substr(0, query.size() - 1)), setting.value);
        if (auto* bar = m.slider(setting.id))
            EXPECT_EQ(bar->setting(), setting.value) << "the slider follows what the calibration sent";
    }
    EXPECT_THAT(window.lblResult->text().toStdString(), HasSubstr("dB below the start"));
    EXPECT_EQ(window.lblStep->text(), "done");
    EXPECT_TRUE(window.cmdStore->isEnabled());

    // Into a setup file, then twice into a table at one LO: the second in
    // place of the first.
    QTemporaryDir folder;
    const QString setup = folder.filePath("calibrated.scpi"), table = folder.filePath("bench.cal");
    {
        const auto dialog = chooseInNextFileDialog(setup);
        window.cmdSaveSetup->click();
        EXPECT_EQ(awaitMessage().text, "Saved the settings to " + setup);
    }
    QFile saved(setup);
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    EXPECT_THAT(saved.readAll().toStdString(), HasSubstr("\n# calibration: carrier "));
    window.txtLoHz->clear();
    window.cmdAddToTable->click();
    EXPECT_EQ(window.txtLoHz->toolTip(), "Add to Table needs the LO frequency in Hz");
    window.txtLoHz->setText("2.4e9");
    for (int time = 0; time < 2; ++time) {
        const auto dialog = chooseInNextFileDialog(table);
        window.cmdAddToTable->click();
        EXPECT_EQ(awaitMessage().text, "Added the settings to " + table + " as the section LO 2400000000 Hz");
    }
    const instrument::CalibrationTable added = session::readCalibrationTable(table);
    ASSERT_EQ(added.problem, "");
    ASSERT_EQ(added.sections.size(), 1u);
    EXPECT_THAT(added.sections[0].text, HasSubstr("\n# calibration: LO 2400000000 Hz\n"));
    EXPECT_EQ(added.sections[0].setup.entries.size(), instrument::SettingCount);
}

} // namespace
