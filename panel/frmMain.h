#pragma once

#include <QPointer>
#include <QWidget>
#include <array>
#include <bitset>
#include <optional>
#include <cstdint>
#include <functional>
#include <string>

#include "ChangeHistory.h"
#include "FTDI_Driver.h"
#include "Settings.h"
#include "PanelEnvironment.h"
#include "SettingsFollower.h"

class QAction;
class QGroupBox;
class QMenu;
class QLabel;
class QPushButton;
class frmKeys;
class frmTrafficLog;

namespace panel {
class BusyIndicator;
class LinkMonitor;
class ReferenceLockWatch;
class SetupFiles;
class SettingScrollBar;
class StatusLine;
class ValueEditor;
}

// The main window: runs start-up, holds the settings panel, whose controls
// send every change at once, and ends the run.
class frmMain : public QWidget {
    Q_OBJECT

    // First, as the members below that name parts of them are bound to them.
    panel::PanelEnvironment env_;

    // The controls of one setting: a two-state button with the state it
    // shows, or a slider with the label above it; and the value the
    // instrument was last known to hold, read from it or sent to it, which
    // the undo history starts from.
    struct SettingControl {
        QPushButton* button = nullptr;
        int16_t state = 0;
        panel::SettingScrollBar* slider = nullptr;
        QLabel* valueLabel = nullptr;
        std::optional<int16_t> held;
    };
    std::array<SettingControl, instrument::SettingCount> controls_;

    SettingControl& control(instrument::SettingId id) { return controls_[instrument::indexOf(id)]; }

public:
    explicit frmMain(panel::PanelEnvironment environment, QWidget* parent = nullptr);

    // Start-up, once: title, device choice, opening, identification and the
    // first read-back. Returns when the panel is ready for the operator, or
    // when the run has ended.
    void Form_Load();

    // Reads every setting back from the instrument into the controls.
    void RefreshFromInstrument();
    // Every setting's value is no longer known (the lock's may still be):
    // each is greyed with the reason until it is read again.
    void markSettingsUnread(const QString& reason);
    // Reads the given settings back, as one exchange.
    void RefreshSettings(const std::vector<instrument::SettingId>& settings);

    session::InstrumentSession& session() const { return *env_.session; }

    // Opens the traffic log, or raises it when open (Ctrl+L).
    frmTrafficLog* showTrafficLog();
    // Where remote clients reach the instrument, and what they miss.
    void showRemoteStatus(const QString& status);

    // The instrument's reply to *IDN? when it was last opened.
    const std::string& identity() const { return identity_; }

    // Whether a change of a control is sent: only once the instrument has
    // been read, while the link is up, and not while the panel's own
    // exchange runs. While others' exchange runs, the change goes out right
    // after it.
    bool sending() const
    {
        return SendEnabled == -1 && !session().panelExchangeRunning() && !session().linkDown();
    }
    bool exchangeRunning() const { return session().busy(); }
    // What keeps the controls true to what others send the instrument.
    const session::SettingsFollower& follower() const { return *follower_; }

    // A setting's controls: its slider and value label, or its two-state
    // button and the state it shows.
    panel::SettingScrollBar* slider(instrument::SettingId id) const { return controls_[instrument::indexOf(id)].slider; }
    QLabel* valueLabel(instrument::SettingId id) const { return controls_[instrument::indexOf(id)].valueLabel; }
    QPushButton* button(instrument::SettingId id) const { return controls_[instrument::indexOf(id)].button; }
    int16_t state(instrument::SettingId id) const { return controls_[instrument::indexOf(id)].state; }

    // The menu a right-click on a slider or its value label opens: "Set
    // value…", "Zero" on an offset, then the window's commands. The caller
    // shows it; it deletes itself once closed.
    QMenu* contextMenuFor(instrument::SettingId id);

    // The operator's changes that reached the instrument, for Ctrl+Z and
    // Ctrl+Shift+Z.
    const panel::ChangeHistory& history() const { return history_; }
    // Sends the value a setting had before the last change, as one
    // message, or the value of the last change undone; nothing while the
    // panel does not send.
    void undoChange();
    void redoChange();
    // Setups as files, for other windows too.
    panel::SetupFiles& setupFiles() const { return *setupFiles_; }
    // Where the calibration window comes from. Without one the menu entry
    // and key do nothing; one that gives no window has said why itself.
    void setCalibrateWindow(std::function<QWidget*()> open) { openCalibrate_ = std::move(open); }
    // Watches the reference lock while the panel is idle.
    panel::ReferenceLockWatch* lockWatch() const { return lockWatch_; }

    // Settings another part of the program moves for a while (a
    // calibration): the operator's changes to them are refused, each with a
    // note at the control and in the traffic log, until released. Values
    // others send them are still followed.
    void claimSettings(const std::vector<instrument::SettingId>& settings, const QString& by);
    void releaseSettings() { claimed_.reset(); }
    bool claimed(instrument::SettingId id) const { return claimed_.test(instrument::indexOf(id)); }

    usblink::DeviceList Devices;
    int16_t Selection = 0;
    const usblink::DeviceHandle& DevHandle = session().handle();

    int16_t SendEnabled = 0;

    // The settings' controls by their own names, each one a name for its
    // entry in the table above.
    int16_t& BasebandSwapState = control(instrument::SettingId::BasebandSwap).state;
    int16_t& BasebandZinState = control(instrument::SettingId::BasebandZin).state;
    int16_t& ModulatorZinState = control(instrument::SettingId::ModulatorZin).state;
    QPushButton*& cmdBB_Swap = control(instrument::SettingId::BasebandSwap).button;
    QPushButton*& cmdBB_ZIN = control(instrument::SettingId::BasebandZin).button;
    QPushButton*& cmdMod_ZIN = control(instrument::SettingId::ModulatorZin).button;
    panel::SettingScrollBar*& scrBB_I_Off = control(instrument::SettingId::BasebandIOffset).slider;
    panel::SettingScrollBar*& scrBB_Q_Off = control(instrument::SettingId::BasebandQOffset).slider;
    panel::SettingScrollBar*& scrMod_I_Off = control(instrument::SettingId::ModulatorIInputOffset).slider;
    panel::SettingScrollBar*& scrMod_Q_Off = control(instrument::SettingId::ModulatorQInputOffset).slider;
    panel::SettingScrollBar*& scrIAtt = control(instrument::SettingId::ModulatorIAttenuator).slider;
    panel::SettingScrollBar*& scrQAtt = control(instrument::SettingId::ModulatorQAttenuator).slider;
    panel::SettingScrollBar*& scrIMod = control(instrument::SettingId::ModulatorIOffset).slider;
    panel::SettingScrollBar*& scrQMod = control(instrument::SettingId::ModulatorQOffset).slider;
    QLabel*& lblBB_I_OFF = control(instrument::SettingId::BasebandIOffset).valueLabel;
    QLabel*& lblBB_Q_OFF = control(instrument::SettingId::BasebandQOffset).valueLabel;
    QLabel*& lblMod_I_Off = control(instrument::SettingId::ModulatorIInputOffset).valueLabel;
    QLabel*& lblMod_Q_Off = control(instrument::SettingId::ModulatorQInputOffset).valueLabel;
    QLabel*& lblIAtt = control(instrument::SettingId::ModulatorIAttenuator).valueLabel;
    QLabel*& lblQAtt = control(instrument::SettingId::ModulatorQAttenuator).valueLabel;
    QLabel*& lblIMod = control(instrument::SettingId::ModulatorIOffset).valueLabel;
    QLabel*& lblQMod = control(instrument::SettingId::ModulatorQOffset).valueLabel;

    QGroupBox* fraGenInfo;
    QLabel* lblUSB_ID;
    QLabel* lblIDN;
    QLabel* lblRefLock;
    QGroupBox* fraBaseDAC;
    QGroupBox* fraModDAC;
    QGroupBox* fraAtten;
    QGroupBox* fraModOffset;
    QPushButton* cmdError;
    QPushButton* cmdRST;
    QPushButton* cmdUserStates;
    QPushButton* cmdQuit;
    // Typing on a slider or double-clicking its value label opens it.
    panel::ValueEditor* txtValue;
    // Why the link is down and what to do, in the free space beside
    // cmdMod_ZIN; while the link is up, what the panel has long been waiting
    // for, or a notice about the link, or nothing.
    panel::StatusLine* lblLinkStatus;
    panel::LinkMonitor* linkMonitor;
    // Where remote clients reach the instrument through the panel; empty
    // when nothing listens.
    panel::StatusLine* lblRemoteStatus;
    // The window's commands and their keys, also on its context menu:
    // Refresh (F5), Traffic Log (Ctrl+L), "Save Setup…" (Ctrl+S) and "Load
    // Setup…" (Ctrl+O), the settings to and from a setup file, Keys (F1)
    // and Quit (Ctrl+Q).
    QAction* actRefresh;
    QAction* actTrafficLog;
    QAction* actSaveSetup;
    QAction* actLoadSetup;
    QAction* actKeys;
    // Opens the calibration window (Ctrl+K).
    QAction* actCalibrate;
    QAction* actQuit;
    // Undo (Ctrl+Z) and Redo (Ctrl+Shift+Z) of the operator's changes.
    QAction* actUndo;
    QAction* actRedo;

signals:
    // The instrument answered *IDN? at start-up, or once its link came back.
    void identified(const std::string& identity);

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildGeneralInformation();
    void buildToggles();
    void buildSliders();
    void buildButtons();
    void buildRemoteStatus();
    void setFocusOrder();
    void buildValueEditor();
    void buildActions();

    void startUp();
    bool chooseDevice();
    void identifyAndReadBack();
    void showIdentityAndReadBack(const usblink::Reply& identity);
    void endRun(int status);

    void Form_Unload();
    void cmdQuit_Click();
    void cmdRST_Click();
    void cmdError_Click();
    void cmdUserStates_Click();
    void refreshKeyPress();
    void toggleClick(instrument::SettingId id);
    void sliderChange(instrument::SettingId id);
    void readBack(const instrument::Setting& setting);
    void showReferenceLock(const usblink::Reply& reply);
    void sendChange(instrument::SettingId id, int16_t value);
    void setByOperator(instrument::SettingId id, int16_t value);
    void forgetHistoryIfOtherThan(instrument::SettingId id, int16_t value);
    void attachContextMenu(QWidget* control, instrument::SettingId id);
    bool apply(instrument::SettingId id, int16_t value);
    void showValue(instrument::SettingId id);
    std::vector<QWidget*> controlsOf(instrument::SettingId id) const;
    void markRead(instrument::SettingId id);
    void markUnread(instrument::SettingId id, const QString& reason);
    void markEveryValueUnread(const QString& reason);
    void noteAnotherInstrument(const std::string& before, const std::string& now);
    void showKeys();
    void showCalibrate();
    void refuseClaimed(instrument::SettingId id);

    bool ended_ = false;
    QPointer<frmTrafficLog> trafficLog_; // whoever deletes the window leaves no dangling pointer
    frmKeys* keys_ = nullptr;
    panel::BusyIndicator* busy_;
    panel::SetupFiles* setupFiles_;
    std::string identity_;
    std::string answeredIdentity_; // the last *IDN? that was answered
    session::SettingsFollower* follower_;
    panel::ChangeHistory history_;
    bool replaying_ = false; // an undo or redo is being sent, and is no new change
    panel::ReferenceLockWatch* lockWatch_ = nullptr;
    std::optional<std::string> lockReply_; // the lock's reply last shown
    std::bitset<instrument::SettingCount> claimed_;
    QString claimedBy_;
    std::function<QWidget*()> openCalibrate_;
};
