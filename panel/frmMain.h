#pragma once

#include <QWidget>
#include <array>
#include <cstdint>

#include "link/CommandSet.h"
#include "link/FTDI_Driver.h"
#include "panel/PanelEnvironment.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace panel {
class SettingScrollBar;
}

// The main window: owns the connection to the instrument, runs start-up,
// and holds the settings panel, whose controls send every change at once.
class frmMain : public QWidget {
    Q_OBJECT
public:
    explicit frmMain(panel::PanelEnvironment environment, QWidget* parent = nullptr);

    // Start-up, once: title, device choice, opening, identification and the
    // first read-back. Returns when the panel is ready for the operator.
    void Form_Load();

    // Reads every setting back from the instrument into the controls.
    void RefreshFromInstrument();

    usblink::FTDI_Driver& driver() const { return *env_.driver; }
    const panel::PanelEnvironment& environment() const { return env_; }

    // Whether a change of a control is sent now: only once the instrument has
    // been read and while no exchange waits for a reply.
    bool sending() const { return SendEnabled == -1 && !exchangeRunning_; }
    bool exchangeRunning() const { return exchangeRunning_; }

    // The connection, shared with the other windows.
    usblink::DeviceList Devices;
    int16_t Selection = 0;
    usblink::DeviceHandle DevHandle = 0;

    int16_t SendEnabled = 0;
    int16_t BasebandSwapState = 0;
    int16_t BasebandZinState = 0;
    int16_t ModulatorZinState = 0;

    QGroupBox* fraGenInfo;
    QLabel* lblUSB_ID;
    QLabel* lblIDN;
    QLabel* lblRefLock;
    QPushButton* cmdBB_Swap;
    QPushButton* cmdBB_ZIN;
    QPushButton* cmdMod_ZIN;
    QGroupBox* fraBaseDAC;
    QGroupBox* fraModDAC;
    QGroupBox* fraAtten;
    QGroupBox* fraModOffset;
    panel::SettingScrollBar* scrBB_I_Off;
    panel::SettingScrollBar* scrBB_Q_Off;
    panel::SettingScrollBar* scrMod_I_Off;
    panel::SettingScrollBar* scrMod_Q_Off;
    panel::SettingScrollBar* scrIAtt;
    panel::SettingScrollBar* scrQAtt;
    panel::SettingScrollBar* scrIMod;
    panel::SettingScrollBar* scrQMod;
    QLabel* lblBB_I_OFF;
    QLabel* lblBB_Q_OFF;
    QLabel* lblMod_I_Off;
    QLabel* lblMod_Q_Off;
    QLabel* lblIAtt;
    QLabel* lblQAtt;
    QLabel* lblIMod;
    QLabel* lblQMod;
    QPushButton* cmdError;
    QPushButton* cmdRST;
    QPushButton* cmdUserStates;
    QPushButton* cmdQuit;

    static constexpr int ToggleCount = 3;
    static constexpr int SliderCount = 8;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct ToggleControl;
    struct SliderControl;

    void buildGeneralInformation();
    void buildToggles();
    void buildSliders();
    void buildButtons();
    void setFocusOrder();

    void Form_Unload();
    void cmdQuit_Click();
    void cmdRST_Click();
    void cmdError_Click();
    void cmdUserStates_Click();
    void toggleClick(int toggle);
    void sliderChange(int slider);

    void applyToggle(int toggle, int16_t state);
    void applySlider(int slider, int16_t value);

    std::string query(const char* message);
    void send(const std::string& message);

    panel::PanelEnvironment env_;
    bool exchangeRunning_ = false;
    std::array<QPushButton*, ToggleCount> toggles_ {};
    std::array<int16_t*, ToggleCount> toggleStates_ {};
    std::array<panel::SettingScrollBar*, SliderCount> sliders_ {};
    std::array<QLabel*, SliderCount> sliderLabels_ {};
};
