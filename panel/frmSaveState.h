#pragma once

#include "PanelDialog.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace session {
class InstrumentSession;
}

namespace panel {
class SettingScrollBar;
}

// Stores the instrument's settings into, or recalls them from, one of its
// ten user states. Each opening starts at state 0; nothing is read back here,
// the main window reads every setting once this window has closed.
class frmSaveState : public panel::PanelDialog {
    Q_OBJECT
public:
    frmSaveState(session::InstrumentSession& session, QWidget* parent);

    QGroupBox* fraStoRecall;
    panel::SettingScrollBar* scrUser;
    QPushButton* cmdSave;
    QPushButton* cmdRecall;
    QPushButton* cmdReturn;
    QLabel* lblUser;
    QLabel* Label1;

private:
    void scrUser_Change();
    void cmdSave_Click();
    void cmdRecall_Click();
    void cmdReturn_Click();
    void sendWithState(const char* prefix);

    session::InstrumentSession& session_;
};
