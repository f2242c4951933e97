#pragma once

#include <QWidget>
#include <memory>
#include <optional>

#include "CalibrationRun.h"

class QChartView;
class QComboBox;
class QLabel;
class QLineEdit;
class QLineSeries;
class QPushButton;
class QSpinBox;
class QValueAxis;
class frmMain;

// The "Calibrate…" window: the analyzer, where it reads the carrier, the
// image and the wanted sideband, the offsets to move, the target and the
// budget; Start and Abort (Esc too); a live plot of carrier and image power
// against readings, the step in words, and the result at the end, which
// can be stored in a user state, saved as a setup file or added to a
// calibration table at the LO frequency given. While a run goes on, the main window
// refuses the operator's changes to the settings it moves.
class frmCalibrate : public QWidget {
    Q_OBJECT
public:
    frmCalibrate(frmMain& main, panel::StartCalibration start, QWidget* parent = nullptr);

    // Offers a resource in the analyzer's list, first when asked, once.
    void offerResource(const QString& resource, bool first = false);

    bool running() const { return run_ != nullptr; }
    const std::optional<calibration::Result>& result() const { return result_; }

    QComboBox* cboResource;
    QSpinBox* spnCarrierMarker;
    QLineEdit* txtCarrierHz;
    QSpinBox* spnImageMarker;
    QLineEdit* txtImageHz;
    QSpinBox* spnWantedMarker;
    QLineEdit* txtWantedHz;
    QComboBox* cboOffsets;
    QLineEdit* txtTarget;
    QSpinBox* spnBudget;
    QLineEdit* txtLoHz;
    QComboBox* cboOnAbort;
    QPushButton* cmdStart;
    QPushButton* cmdAbort;
    QChartView* chtPower;
    QLineSeries* carrierSeries;
    QLineSeries* imageSeries;
    QLabel* lblStep;
    QLabel* lblResult;
    QSpinBox* spnState;
    QPushButton* cmdStore;
    QPushButton* cmdSaveSetup;
    QPushButton* cmdAddToTable;

    void cmdStart_Click();
    void cmdAbort_Click();
    void cmdStore_Click();
    void cmdSaveSetup_Click();
    void cmdAddToTable_Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* buildFields();
    QWidget* buildKeeping();
    QWidget* buildPlot();
    std::optional<calibration::Request> request();
    void plot(const calibration::Progress& progress);
    void showResult(const calibration::Result& result);
    void showRunning(bool running);

    frmMain& main_;
    panel::StartCalibration start_;
    std::unique_ptr<panel::CalibrationRun> run_;
    std::optional<calibration::Result> result_;
    QValueAxis* readingsAxis_;
    QValueAxis* powerAxis_;
};
