#include "frmSaveState.h"

#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include "CommandSet.h"
#include "Buttons.h"
#include "SettingScrollBar.h"
#include "Twips.h"
#include "InstrumentSession.h"

namespace commands = instrument::commands;
using panel::twipsRect;

frmSaveState::frmSaveState(session::InstrumentSession& session, QWidget* parent)
    : PanelDialog(parent, "frmSaveState", "Save / Recall State", 4605, 3150)
    , session_(session)
{
    fraStoRecall = new QGroupBox("Store / Recall User States", this);
    fraStoRecall->setObjectName("fraStoRecall");
    fraStoRecall->setGeometry(twipsRect(120, 120, 4335, 2295));

    scrUser = new panel::SettingScrollBar(commands::FirstUserState, commands::LastUserState, 1, fraStoRecall);
    scrUser->setObjectName("scrUser");
    scrUser->setGeometry(twipsRect(240, 720, 735, 1095));
    scrUser->setAccessibleName("Select State, user state number");
    scrUser->setToolTip("The user state to store or recall, 0 to 9: Up/Down, Page Up/Page Down, Home/End.");
    connect(scrUser, &panel::SettingScrollBar::settingChanged, this, &frmSaveState::scrUser_Change);

    cmdSave = panel::addButton(fraStoRecall, "cmdSave", "SYSTem:SAVE",
        "Store the instrument's settings in the chosen user state: sends SYST:SAVE and the state. Space or Enter "
        "presses it.",
        twipsRect(1440, 720, 2775, 495), this, &frmSaveState::cmdSave_Click);
    cmdRecall = panel::addButton(fraStoRecall, "cmdRecall", "SYSTem:RECall",
        "Recall the chosen user state: sends SYST:REC and the state. Space or Enter presses it.",
        twipsRect(1440, 1440, 2775, 495), this, &frmSaveState::cmdRecall_Click);
    cmdReturn = panel::addButton(this, "cmdReturn", "Return",
        "Back to the main window, which reads every setting back. Space or Enter presses it.",
        twipsRect(3240, 2520, 1215, 495), this, &frmSaveState::cmdReturn_Click);

    lblUser = new QLabel("0", fraStoRecall);
    lblUser->setObjectName("lblUser");
    lblUser->setGeometry(twipsRect(240, 360, 810, 195));
    lblUser->setAlignment(Qt::AlignCenter);
    lblUser->setAccessibleName("User state = 0");

    Label1 = new QLabel("Select State", fraStoRecall);
    Label1->setObjectName("Label1");
    Label1->move(twipsRect(120, 1920, 0, 0).topLeft());
    Label1->adjustSize();

    setTabOrder(scrUser, cmdSave);
    setTabOrder(cmdSave, cmdRecall);
    setTabOrder(cmdRecall, cmdReturn);
    scrUser->setFocus();
    centreOverParent();
}

void frmSaveState::scrUser_Change()
{
    lblUser->setText(QString::number(scrUser->setting()));
    lblUser->setAccessibleName("User state = " + lblUser->text());
}

void frmSaveState::cmdSave_Click()
{
    sendWithState(commands::SaveStatePrefix);
}

void frmSaveState::cmdRecall_Click()
{
    sendWithState(commands::RecallStatePrefix);
}

void frmSaveState::sendWithState(const char* prefix)
{
    session_.sendAhead(commands::withArgument(prefix, scrUser->setting()));
}

void frmSaveState::cmdReturn_Click()
{
    accept();
}

#include "moc_frmSaveState.cpp"
