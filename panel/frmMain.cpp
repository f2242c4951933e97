#include "frmMain.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QToolTip>
#include <algorithm>

#include "Version.h"
#include "CommandSet.h"
#include "MessageSyntax.h"
#include "BusyIndicator.h"
#include "Buttons.h"
#include "ControlHelp.h"
#include "EnterKey.h"
#include "FocusMark.h"
#include "LinkMonitor.h"
#include "ReferenceLockWatch.h"
#include "MessageBoxes.h"
#include "RoomForText.h"
#include "SettingScrollBar.h"
#include "SettingText.h"
#include "SliderSteps.h"
#include "SetupFiles.h"
#include "StartUp.h"
#include "StatusLine.h"
#include "Twips.h"
#include "UnreadMark.h"
#include "ValueEditor.h"
#include "WholeText.h"
#include "frmKeys.h"
#include "frmSaveState.h"
#include "frmSelect.h"
#include "frmTrafficLog.h"

namespace commands = instrument::commands;
using panel::SettingScrollBar;
using panel::twipsRect;
using panel::valueText;
using instrument::SettingId;
using instrument::SettingKind;

namespace {

constexpr const char* TitlePrefix = "R6140K Control Panel   V";
constexpr const char* IdentityCaption = "*IDN? = ";
constexpr const char* ReferenceLockCaption = ":SYSTem:REFLock? = ";
constexpr const char* ReadingBack = "Reading settings back…";
constexpr const char* LinkWentDown = "the link went down";
constexpr const char* ReferenceLockName = "Reference lock";

// The controls of the settings, in focus order, keyed by the setting each
// one shows. Positions are in twips.
struct ToggleLayout {
    SettingId setting;
    const char* name;
    const char* mnemonic;
    const char* accessibleName;
    int left, top;
};
constexpr int ToggleWidth = 2295, ToggleHeight = 615;

constexpr ToggleLayout Toggles[] = {
    { .setting = SettingId::BasebandSwap, .name = "cmdBB_Swap", .mnemonic = ":BASEband:SWAP",
        .accessibleName = "Baseband I/Q swap", .left = 120, .top = 1320 },
    { .setting = SettingId::BasebandZin, .name = "cmdBB_ZIN", .mnemonic = ":BASband:ZINPut",
        .accessibleName = "Baseband input impedance", .left = 120, .top = 2040 },
    { .setting = SettingId::ModulatorZin, .name = "cmdMod_ZIN", .mnemonic = ":MODulator:ZINPut",
        .accessibleName = "Modulator input impedance", .left = 2640, .top = 2040 },
};

struct FrameLayout {
    QGroupBox* frmMain::*frame;
    const char* name;
    const char* caption;
    int left;
};
constexpr int FrameTop = 2880, FrameWidth = 2295, FrameHeight = 5175;

const FrameLayout Frames[] = {
    { &frmMain::fraBaseDAC, "fraBaseDAC", ":BASband:OFFset", 120 },
    { &frmMain::fraModDAC, "fraModDAC", "MODulator:INPutoffset", 2640 },
    { &frmMain::fraAtten, "fraAtten", ":MODulator:ATTenuator", 5040 },
    { &frmMain::fraModOffset, "fraModOffset", ":MODulator:OFFset", 7560 },
};

// A slider with its value label above it and its name label below, inside
// one of the frames; lefts are within the frame.
struct SliderLayout {
    SettingId setting;
    int frame;
    const char* name;
    int left;
    const char* valueLabel;
    int valueLeft, valueWidth;
    const char* nameLabel;
    int nameLeft;
    const char* caption;
    const char* accessibleName;
};
constexpr int SliderTop = 600, SliderWidth = 375, SliderHeight = 4095;
constexpr int ValueLabelTop = 360, ValueLabelHeight = 255;
constexpr int NameLabelTop = 4800, NameLabelHeight = 195;

constexpr SliderLayout Sliders[] = {
    { .setting = SettingId::BasebandIOffset, .frame = 0, .name = "scrBB_I_Off", .left = 360,
        .valueLabel = "lblBB_I_OFF", .valueLeft = 120, .valueWidth = 855, .nameLabel = "Label1", .nameLeft = 360,
        .caption = "BB I", .accessibleName = "Baseband I offset" },
    { .setting = SettingId::BasebandQOffset, .frame = 0, .name = "scrBB_Q_Off", .left = 1440,
        .valueLabel = "lblBB_Q_OFF", .valueLeft = 1200, .valueWidth = 855, .nameLabel = "Label2", .nameLeft = 1440,
        .caption = "BB Q", .accessibleName = "Baseband Q offset" },
    { .setting = SettingId::ModulatorIInputOffset, .frame = 1, .name = "scrMod_I_Off", .left = 360,
        .valueLabel = "lblMod_I_Off", .valueLeft = 120, .valueWidth = 735, .nameLabel = "Label7", .nameLeft = 240,
        .caption = "Mod I Off", .accessibleName = "Modulator I input offset" },
    { .setting = SettingId::ModulatorQInputOffset, .frame = 1, .name = "scrMod_Q_Off", .left = 1560,
        .valueLabel = "lblMod_Q_Off", .valueLeft = 1320, .valueWidth = 735, .nameLabel = "Label8", .nameLeft = 1320,
        .caption = "Mod Q Off", .accessibleName = "Modulator Q input offset" },
    { .setting = SettingId::ModulatorIAttenuator, .frame = 2, .name = "scrIAtt", .left = 360, .valueLabel = "lblIAtt",
        .valueLeft = 120, .valueWidth = 735, .nameLabel = "Label3", .nameLeft = 360, .caption = "I Atten",
        .accessibleName = "Modulator I attenuator" },
    { .setting = SettingId::ModulatorQAttenuator, .frame = 2, .name = "scrQAtt", .left = 1440, .valueLabel = "lblQAtt",
        .valueLeft = 1200, .valueWidth = 735, .nameLabel = "Label4", .nameLeft = 1320, .caption = "Q Atten",
        .accessibleName = "Modulator Q attenuator" },
    { .setting = SettingId::ModulatorIOffset, .frame = 3, .name = "scrIMod", .left = 360, .valueLabel = "lblIMod",
        .valueLeft = 120, .valueWidth = 735, .nameLabel = "Label5", .nameLeft = 360, .caption = "I Off",
        .accessibleName = "Modulator I offset" },
    { .setting = SettingId::ModulatorQOffset, .frame = 3, .name = "scrQMod", .left = 1440, .valueLabel = "lblQMod",
        .valueLeft = 1200, .valueWidth = 735, .nameLabel = "Label6", .nameLeft = 1440, .caption = "Q Off",
        .accessibleName = "Modulator Q offset" },
};

const ToggleLayout& toggleLayoutOf(SettingId id)
{
    return *std::ranges::find(Toggles, id, &ToggleLayout::setting);
}

const SliderLayout& sliderLayoutOf(SettingId id)
{
    return *std::ranges::find(Sliders, id, &SliderLayout::setting);
}

panel::SettingScrollBar::Reading readingOf(SettingKind kind)
{
    if (kind == SettingKind::Attenuator)
        return { instrument::DecibelsPerStep, "dB" };
    return { 1, "counts" };
}

// Why a read-back left its setting unknown: the failure the reply stands
// for, or a reply that holds no value the control can show.
QString unreadReason(const usblink::Reply& reply)
{
    return reply.answered() ? "no value in the reply" : QString::fromLatin1(reply.text);
}

// A page step is 10 counts on an offset, 1 dB on an attenuator.
int pageStepOf(SettingKind kind)
{
    return kind == SettingKind::Attenuator ? 8 : 10;
}

// The free space beside cmdMod_ZIN, down to just above the frames, and
// right of cmdBB_Swap, down to just above the row of cmdMod_ZIN.
constexpr int LinkStatusLeft = 5160, LinkStatusTop = 2040, LinkStatusWidth = 4695, LinkStatusHeight = 825;
constexpr int RemoteStatusLeft = 2640, RemoteStatusTop = 1320, RemoteStatusWidth = 7215, RemoteStatusHeight = 690;

// The texts of a value label that may be the widest: every decibel value, and
// the ends of an offset range, whose digits are all of one width.
QStringList widestValueTexts(SettingKind kind)
{
    const instrument::SettingRange range = instrument::rangeOf(kind);
    if (kind != SettingKind::Attenuator)
        return { valueText(kind, range.min), valueText(kind, range.max) };
    QStringList texts;
    for (int value = range.min; value <= range.max; ++value)
        texts << valueText(kind, value);
    return texts;
}

// A reply label shows the reply, or one of the words of a failed read.
QStringList failedReplyTexts(const char* caption)
{
    return { caption + QString(usblink::FTDI_Driver::ReadTimeout), caption + QString(usblink::FTDI_Driver::ReadError) };
}

QString withoutSurroundingBlanks(const std::string& text)
{
    const std::string_view trimmed = instrument::trimBlanks(text);
    return QString::fromLatin1(trimmed.data(), static_cast<qsizetype>(trimmed.size()));
}

// The lock line's accessible name: its text, and what it is. Qt announces a
// widget's new accessible name to assistive technology at every setting,
// even to the same name, so it is set only when it changes: the lock watch
// reads the same reply every few seconds.
void nameLockLine(QLabel* line)
{
    const QString name = QString("%1, %2").arg(line->text(), ReferenceLockName);
    if (name != line->accessibleName())
        line->setAccessibleName(name);
}

bool isOperatorInput(const QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::KeyRelease:
        return true;
    case QEvent::KeyPress: {
        const int key = static_cast<const QKeyEvent*>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab;
    }
    default:
        return false;
    }
}

} // namespace

frmMain::frmMain(panel::PanelEnvironment environment, QWidget* parent)
    : QWidget(parent)
    , env_(std::move(environment))
{
    setObjectName("frmMain");
    setWindowTitle("6140-IQ Control Panel");
    setFixedSize(panel::twipsToPixels(9990), panel::twipsToPixels(8775));
    panel::useDialogFont(this);
    new panel::FocusMarkFromTheStart(this);
    buildGeneralInformation();
    buildToggles();
    buildSliders();
    buildButtons();
    buildRemoteStatus();
    setFocusOrder();
    buildValueEditor();
    buildActions();
    linkMonitor = new panel::LinkMonitor(session(), this,
        twipsRect(LinkStatusLeft, LinkStatusTop, LinkStatusWidth, LinkStatusHeight), env_.reconnectInterval,
        [this] { identifyAndReadBack(); });
    lblLinkStatus = linkMonitor->line();
    // Above it, the remote status's place, while nothing listens.
    lblLinkStatus->mayGrowInto(twipsRect(LinkStatusLeft, RemoteStatusTop, LinkStatusWidth,
                                   LinkStatusTop + LinkStatusHeight - RemoteStatusTop),
        [this] { return lblRemoteStatus->status().isEmpty(); });
    busy_ = new panel::BusyIndicator(session(), this, *linkMonitor);
    markEveryValueUnread({});
    session().addLinkObserver([this] {
        if (session().linkDown())
            markEveryValueUnread(LinkWentDown);
    });
    lockWatch_ = new panel::ReferenceLockWatch(session(), env_.referenceLockInterval, [this] {
        return sending() && !session().busy(); }, [this](const usblink::Reply& reply) { showReferenceLock(reply); },
        this);
    follower_ = new session::SettingsFollower(session(),
        { .show = [this](SettingId id, int16_t value) { apply(id, value); },
            .readBack = [this](const std::vector<SettingId>& settings) { RefreshSettings(settings); },
            .readBackAll = [this] { RefreshFromInstrument(); } },
        session::SettingsFollower::DefaultQuiet, this);
    trafficLog_ = new frmTrafficLog(session(), this); // records from now on, shown or not
    trafficLog_->addActions({ actRefresh, actTrafficLog, actKeys, actQuit, actUndo, actRedo });
    connect(this, &frmMain::identified, trafficLog_, [this](const std::string& identity) {
        if (trafficLog_)
            trafficLog_->setIdentity(identity);
    });
}

void frmMain::buildGeneralInformation()
{
    fraGenInfo = new QGroupBox("General Information", this);
    fraGenInfo->setObjectName("fraGenInfo");
    fraGenInfo->setGeometry(twipsRect(120, 120, 9735, 1095));
    QFont captionFont("MS Sans Serif");
    captionFont.setPointSizeF(9.75);
    captionFont.setWeight(QFont::Normal);
    fraGenInfo->setFont(captionFont);

    const auto addLabel = [this](const char* name, const char* caption, QRect geometry, Qt::Alignment alignment) {
        auto* label = new QLabel(caption, fraGenInfo);
        label->setObjectName(name);
        label->setGeometry(geometry);
        label->setAlignment(alignment | Qt::AlignVCenter);
        label->setFont(font());
        label->setTextFormat(Qt::PlainText); // device and instrument texts are shown as they came
        return label;
    };
    lblUSB_ID = addLabel("lblUSB_ID", "USB Identifier:", twipsRect(120, 360, 6015, 255), Qt::AlignLeft);
    lblIDN = addLabel("lblIDN", "*IDN?:", twipsRect(120, 720, 6015, 255), Qt::AlignLeft);
    lblRefLock = addLabel("lblRefLock", ":SYSTem:REFLock? = ?", twipsRect(7080, 360, 2415, 255), Qt::AlignRight);
    nameLockLine(lblRefLock);
    lblRefLock->setToolTip("The instrument's reference lock (:SYST:REFL?), read with every read-back and asked "
                           "again every few seconds while the panel is idle (--lock-watch); greyed while unknown.");
    panel::makeRoomFor(lblIDN, failedReplyTexts(IdentityCaption));
    panel::makeRoomFor(lblRefLock, failedReplyTexts(ReferenceLockCaption));
}

void frmMain::buildToggles()
{
    for (const ToggleLayout& row : Toggles) {
        auto* button = new QPushButton(row.mnemonic, this);
        button->setObjectName(row.name);
        button->setGeometry(twipsRect(row.left, row.top, ToggleWidth, ToggleHeight));
        button->setToolTip(panel::toggleHelp(instrument::settingOf(row.setting), row.accessibleName));
        connect(button, &QPushButton::clicked, this, [this, id = row.setting] { toggleClick(id); });
        // Its state joins the caption and the name once it is read.
        button->setAccessibleName(QString("%1, %2").arg(row.mnemonic, row.accessibleName));
        control(row.setting).button = button;
    }
}

void frmMain::buildSliders()
{
    std::array<QGroupBox*, std::size(Frames)> frames {};
    for (std::size_t f = 0; f < std::size(Frames); ++f) {
        auto* frame = new QGroupBox(Frames[f].caption, this);
        frame->setObjectName(Frames[f].name);
        frame->setGeometry(twipsRect(Frames[f].left, FrameTop, FrameWidth, FrameHeight));
        this->*Frames[f].frame = frame;
        frames[f] = frame;
    }
    for (const SliderLayout& row : Sliders) {
        QGroupBox* frame = frames[static_cast<std::size_t>(row.frame)];
        const instrument::Setting& setting = instrument::settingOf(row.setting);
        const SettingKind kind = setting.kind;
        const instrument::SettingRange range = instrument::rangeOf(kind);
        auto* slider = new SettingScrollBar(range.min, range.max, pageStepOf(kind), frame);
        slider->setObjectName(row.name);
        slider->setGeometry(twipsRect(row.left, SliderTop, SliderWidth, SliderHeight));
        slider->setAccessibleName(QString("%1, %2").arg(row.caption, row.accessibleName));
        slider->setReading(readingOf(kind));
        slider->setCoarseSteps(panel::sliderStepsOf(kind));
        slider->setToolTip(panel::sliderHelp(setting, row.accessibleName, pageStepOf(kind)));
        slider->installEventFilter(this);
        connect(slider, &SettingScrollBar::settingChanged, this, [this, id = row.setting] { sliderChange(id); });
        // The label follows a dragged thumb; the value is sent on release.
        connect(slider, &SettingScrollBar::settingMoved, this, [this, id = row.setting] { showValue(id); });
        attachContextMenu(slider, row.setting);

        auto* valueLabel = new QLabel("0", frame);
        valueLabel->setObjectName(row.valueLabel);
        valueLabel->setGeometry(twipsRect(row.valueLeft, ValueLabelTop, row.valueWidth, ValueLabelHeight));
        valueLabel->setAlignment(Qt::AlignCenter);
        valueLabel->setToolTip(panel::valueLabelHelp(setting));
        panel::makeRoomFor(valueLabel, widestValueTexts(kind));
        attachContextMenu(valueLabel, row.setting);

        auto* nameLabel = new QLabel(row.caption, frame);
        nameLabel->setObjectName(row.nameLabel);
        nameLabel->move(twipsRect(row.nameLeft, NameLabelTop, 0, NameLabelHeight).topLeft());
        nameLabel->adjustSize();

        control(row.setting).slider = slider;
        control(row.setting).valueLabel = valueLabel;
        showValue(row.setting);
    }
}

void frmMain::buildButtons()
{
    cmdError = panel::addButton(this, "cmdError", "Query :SYSTem:Error?",
        "Show the instrument's oldest error: sends :SYST:ERR? and shows the reply. Space or Enter presses it.",
        twipsRect(120, 8160, 2295, 495), this, &frmMain::cmdError_Click);
    cmdRST = panel::addButton(this, "cmdRST", "Send: *RST",
        "Reset the instrument: sends *RST, then reads every setting back. Space or Enter presses it.",
        twipsRect(3720, 8160, 1575, 495), this, &frmMain::cmdRST_Click);
    cmdUserStates = panel::addButton(this, "cmdUserStates", "Save / Recall User States",
        "Store the settings in, or recall them from, one of the instrument's ten user states (SYST:SAVE, SYST:REC). "
        "Space or Enter presses it.",
        twipsRect(5640, 8160, 2655, 495), this, &frmMain::cmdUserStates_Click);
    cmdQuit = panel::addButton(this, "cmdQuit", "Quit", "Close the instrument and end the program (Ctrl+Q).",
        twipsRect(8640, 8160, 1215, 495), this, &frmMain::cmdQuit_Click);
}

void frmMain::buildRemoteStatus()
{
    lblRemoteStatus = new panel::StatusLine("lblRemoteStatus", "Remote control status",
        "Where scripts reach the instrument through the panel (--listen, --vxi11), and how many clients it serves; "
        "empty when nothing listens.",
        twipsRect(RemoteStatusLeft, RemoteStatusTop, RemoteStatusWidth, RemoteStatusHeight), this);
}

void frmMain::showRemoteStatus(const QString& status)
{
    lblRemoteStatus->setStatus(status);
    lblLinkStatus->refit();
}

void frmMain::setFocusOrder()
{
    std::vector<QWidget*> order;
    for (const ToggleLayout& row : Toggles)
        order.push_back(button(row.setting));
    for (const SliderLayout& row : Sliders)
        order.push_back(slider(row.setting));
    order.insert(order.end(), { cmdError, cmdRST, cmdUserStates, cmdQuit });
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    order.front()->setFocus();
}

void frmMain::buildValueEditor()
{
    txtValue = new panel::ValueEditor([this] { return sending(); }, this);
    for (const SliderLayout& row : Sliders)
        txtValue->attach(slider(row.setting), valueLabel(row.setting), instrument::settingOf(row.setting).kind);
}

// The window's commands, each with its key; a right-click on the window's
// free space lists them.
void frmMain::buildActions()
{
    setupFiles_ = new panel::SetupFiles(*this);
    const auto addCommand = [this](const char* name, const char* text, QKeySequence keys, auto run) {
        auto* action = new QAction(text, this);
        action->setObjectName(name);
        action->setShortcut(keys);
        connect(action, &QAction::triggered, this, run);
        addAction(action);
        return action;
    };
    actRefresh = addCommand("actRefresh", "Refresh", Qt::Key_F5, [this] { refreshKeyPress(); });
    actTrafficLog = addCommand("actTrafficLog", "Traffic Log", Qt::CTRL | Qt::Key_L, [this] { showTrafficLog(); });
    actSaveSetup = addCommand("actSaveSetup", "Save Setup…", QKeySequence::Save, [this] { setupFiles_->save(); });
    actLoadSetup = addCommand("actLoadSetup", "Load Setup…", QKeySequence::Open, [this] { setupFiles_->load(); });
    actKeys = addCommand("actKeys", "Keys", Qt::Key_F1, [this] { showKeys(); });
    actCalibrate = addCommand("actCalibrate", "Calibrate…", Qt::CTRL | Qt::Key_K, [this] { showCalibrate(); });
    actQuit = addCommand("actQuit", "Quit", Qt::CTRL | Qt::Key_Q, [this] { cmdQuit_Click(); });
    actUndo = addCommand("actUndo", "Undo", Qt::CTRL | Qt::Key_Z, [this] { undoChange(); });
    actRedo = addCommand("actRedo", "Redo", Qt::CTRL | Qt::SHIFT | Qt::Key_Z, [this] { redoChange(); });
    setContextMenuPolicy(Qt::ActionsContextMenu);
}

void frmMain::attachContextMenu(QWidget* control, SettingId id)
{
    control->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(control, &QWidget::customContextMenuRequested, this,
        [this, control, id](QPoint at) { contextMenuFor(id)->popup(control->mapToGlobal(at)); });
}

// Its entries act only while the panel sends, as the keys do.
QMenu* frmMain::contextMenuFor(SettingId id)
{
    auto* menu = new QMenu(this);
    menu->setObjectName("mnuControl");
    menu->setAttribute(Qt::WA_DeleteOnClose);
    SettingScrollBar* bar = slider(id);
    QAction* setValue = menu->addAction("Set value…", this, [this, bar] {
        if (sending())
            txtValue->editValueOf(bar);
    });
    setValue->setEnabled(sending());
    if (instrument::settingOf(id).kind == SettingKind::Offset) {
        QAction* zero = menu->addAction("Zero", this, [this, bar] {
            if (sending())
                bar->setSetting(0);
        });
        zero->setEnabled(sending() && bar->setting() != 0);
    }
    menu->addSeparator();
    menu->addActions(actions());
    return menu;
}

// An undo is sent as the change it undoes was: one message, through the
// control, whose caption or label follows.
void frmMain::undoChange()
{
    if (!sending())
        return;
    if (const auto change = history_.undo())
        setByOperator(change->setting, change->before);
}

void frmMain::redoChange()
{
    if (!sending())
        return;
    if (const auto change = history_.redo())
        setByOperator(change->setting, change->after);
}

void frmMain::setByOperator(SettingId id, int16_t value)
{
    const QScopedValueRollback replaying(replaying_, true);
    if (SettingScrollBar* bar = slider(id)) {
        bar->setSetting(value);
        return;
    }
    control(id).state = value;
    markRead(id);
    sendChange(id, value);
    showValue(id);
}

// The operator's change goes into the history, unless it is an undo or
// redo being sent, or the value it changes from was never known.
void frmMain::sendChange(SettingId id, int16_t value)
{
    SettingControl& shown = control(id);
    if (!replaying_ && shown.held && *shown.held != value)
        history_.record({ id, *shown.held, value });
    shown.held = value;
    session().sendAhead(commands::withArgument(instrument::settingOf(id).prefix, value));
}

// Undo would send a value from before the instrument changed by other means
// (*RST, a recall, a script, a reconnect): a value found other than the one
// held ends the history, and the log says why.
void frmMain::forgetHistoryIfOtherThan(SettingId id, int16_t value)
{
    const std::optional<int16_t> held = std::exchange(control(id).held, value);
    if (!held || *held == value || history_.empty())
        return;
    history_.clear();
    session().note(std::string("undo history cleared: ") + instrument::settingOf(id).query + " reads "
        + std::to_string(value) + ", not " + std::to_string(*held));
}

void frmMain::Form_Load()
{
    session().exclusive([this] { startUp(); });
}

// Each step may be where the operator quits: once the run has ended, the
// steps after it do not run.
void frmMain::startUp()
{
    setWindowTitle(
        QString("%1%2.%3.%4").arg(TitlePrefix).arg(app::VersionMajor).arg(app::VersionMinor).arg(app::VersionRevision));
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    show();

    Devices = session().listDevices();
    if (ended_ || !chooseDevice())
        return;
    const session::StartUpHooks hooks {
        .wait = [this](float seconds) { TimerModule::Delay(seconds, env_.clock, env_.processEvents); },
        .proceed =
            [this](session::StartUpStep step) {
                if (step == session::StartUpStep::Opened)
                    panel::showWhole(lblUSB_ID,
                        "USB ID = " + QString::fromLatin1(Devices.at(static_cast<std::size_t>(Selection))));
                return !ended_;
            },
    };
    if (const auto identity = session::startUp(session(), Selection, hooks))
        showIdentityAndReadBack(*identity);
}

// Start-up's messages, from the blank line to the read-back: on the device
// just opened at start-up, and again whenever it is opened anew.
// The instrument that answers after a reopen may not be the one that went:
// another unit on the same path, or on the port a device list gave.
void frmMain::identifyAndReadBack()
{
    const std::string before = answeredIdentity_;
    const usblink::Reply identity = session::identify(session());
    showIdentityAndReadBack(identity);
    if (identity.answered() && !before.empty() && identity.text != before)
        noteAnotherInstrument(before, identity.text);
}

// Every setting was read back from the new instrument already; what was
// queued meanwhile was meant for the one before, and so was the undo history.
void frmMain::noteAnotherInstrument(const std::string& before, const std::string& now)
{
    history_.clear();
    const std::size_t voided = session().voidQueued();
    std::string text = "Another instrument answers now: " + now + " (before: " + before
        + "). Every setting was read back from it; undo starts afresh";
    if (voided > 0)
        text += ", and " + std::to_string(voided) + " exchanges queued for the one before were not sent";
    session().note(text + ".");
    linkMonitor->showRemark(QString::fromStdString(text + "."));
}

void frmMain::showIdentityAndReadBack(const usblink::Reply& identity)
{
    if (ended_)
        return;
    identity_ = identity.text;
    panel::showWhole(lblIDN, IdentityCaption + QString::fromLatin1(identity.text));
    if (identity.answered()) {
        answeredIdentity_ = identity.text;
        emit identified(identity.text);
    }
    RefreshFromInstrument();
}

// Shows the chooser; false when the run ended there, with nothing to choose
// or with the chooser closed without a choice (nothing is opened then).
bool frmMain::chooseDevice()
{
    frmSelect chooser(Devices, this);
    if (!chooser.Form_Load()) {
        endRun(1);
        return false;
    }
    if (chooser.exec() != QDialog::Accepted) {
        endRun(0);
        return false;
    }
    Selection = chooser.chosenDevice();
    return true;
}

void frmMain::RefreshFromInstrument()
{
    const panel::BusyIndicator::Activity reading(*busy_, ReadingBack);
    session().exclusive([this] {
        SendEnabled = 0;
        for (const instrument::Setting& setting : instrument::Settings)
            readBack(setting);
        showReferenceLock(session().ask(commands::ReferenceLockQuery));
        SendEnabled = -1;
    });
    lockWatch_->noteRead();
}

// The lock line, greyed while the lock is unknown; a change of it is
// announced to assistive technology, by the line's new accessible name,
// and logged, with its time.
void frmMain::showReferenceLock(const usblink::Reply& reply)
{
    const QString shown = withoutSurroundingBlanks(reply.text);
    lblRefLock->setText(ReferenceLockCaption + shown);
    nameLockLine(lblRefLock);
    if (reply.answered())
        panel::markRead(lblRefLock);
    else
        panel::markUnread(lblRefLock, unreadReason(reply));
    const std::optional<std::string> before = std::exchange(lockReply_, shown.toStdString());
    if (!before || *before == *lockReply_)
        return;
    session().note("reference lock: " + *before + " -> " + *lockReply_);
}

void frmMain::RefreshSettings(const std::vector<SettingId>& settings)
{
    const panel::BusyIndicator::Activity reading(*busy_, ReadingBack);
    session().exclusive([this, &settings] {
        for (const SettingId id : settings)
            readBack(instrument::settingOf(id));
    });
}

// A reply that is no value the control can show leaves the control's value
// as it is, marked unread.
void frmMain::readBack(const instrument::Setting& setting)
{
    const usblink::Reply reply = session().ask(setting.query);
    const auto value = reply.answered() ? commands::toInteger(reply.text) : std::nullopt;
    if (!value || !apply(setting.id, *value))
        markUnread(setting.id, unreadReason(reply));
}

// Shows a value the instrument holds, without sending it back; false when
// the control cannot show it.
bool frmMain::apply(SettingId id, int16_t value)
{
    SettingControl& shown = control(id);
    if (shown.button) {
        shown.state = value;
    } else {
        SettingScrollBar* bar = shown.slider;
        if (value < bar->bottomSetting() || value > bar->topSetting())
            return false;
        const QSignalBlocker blocker(bar);
        bar->setSetting(value);
    }
    forgetHistoryIfOtherThan(id, value);
    // Also when the value is unchanged, so the label shows what was reported.
    showValue(id);
    markRead(id);
    return true;
}

// The caption of a setting's button, or the label above its slider, and
// the names assistive technology reads them by, which carry the value.
void frmMain::showValue(SettingId id)
{
    const SettingControl& shown = control(id);
    if (shown.button) {
        const ToggleLayout& layout = toggleLayoutOf(id);
        shown.button->setText(QString("%1\n%2").arg(layout.mnemonic).arg(shown.state));
        shown.button->setAccessibleName(QString("%1 = %2, %3").arg(layout.mnemonic).arg(shown.state).arg(layout.accessibleName));
        return;
    }
    const QString value = valueText(instrument::settingOf(id).kind, shown.slider->shownSetting());
    shown.valueLabel->setText(value);
    shown.valueLabel->setAccessibleName(QString("%1 = %2").arg(sliderLayoutOf(id).caption, value));
}

// The controls that show a setting: its button, or its slider and value label.
std::vector<QWidget*> frmMain::controlsOf(SettingId id) const
{
    const SettingControl& shown = controls_[instrument::indexOf(id)];
    if (shown.button)
        return { shown.button };
    return { shown.slider, shown.valueLabel };
}

void frmMain::markRead(SettingId id)
{
    for (QWidget* shown : controlsOf(id))
        panel::markRead(shown);
}

void frmMain::markUnread(SettingId id, const QString& reason)
{
    for (QWidget* shown : controlsOf(id))
        panel::markUnread(shown, reason);
}

void frmMain::markSettingsUnread(const QString& reason)
{
    for (const instrument::Setting& setting : instrument::Settings)
        markUnread(setting.id, reason);
}

void frmMain::markEveryValueUnread(const QString& reason)
{
    markSettingsUnread(reason);
    panel::markUnread(lblRefLock, reason);
}

void frmMain::toggleClick(SettingId id)
{
    SettingControl& toggle = control(id);
    // Known from now on, unless its sending finds the link down.
    if (sending() && claimed(id)) {
        refuseClaimed(id);
    } else if (sending()) {
        toggle.state = toggle.state == 0 ? 1 : 0;
        markRead(id);
        sendChange(id, toggle.state);
    }
    showValue(id);
}

void frmMain::sliderChange(SettingId id)
{
    if (sending() && claimed(id)) {
        refuseClaimed(id);
    } else if (sending()) {
        markRead(id);
        sendChange(id, static_cast<int16_t>(slider(id)->setting()));
    }
    // Read again: a change handled while the message was sent may have moved it.
    showValue(id);
}

void frmMain::claimSettings(const std::vector<SettingId>& settings, const QString& by)
{
    claimed_.reset();
    for (const SettingId id : settings)
        claimed_.set(instrument::indexOf(id));
    claimedBy_ = by;
}

// The control goes back to the value last known, unsent, and says why at
// once where the operator looks, and in the traffic log.
void frmMain::refuseClaimed(SettingId id)
{
    if (const std::optional<int16_t> held = control(id).held)
        apply(id, *held);
    const QString reason = QString(":%1 is moved by the %2 now: change refused").arg(
        instrument::settingOf(id).mnemonic, claimedBy_);
    QWidget* shown = controlsOf(id).front();
    shown->setAccessibleDescription(reason);
    QToolTip::showText(shown->mapToGlobal(QPoint(0, shown->height())), reason, shown);
    session().note(reason.toStdString());
}

void frmMain::showCalibrate()
{
    if (!openCalibrate_)
        return;
    QWidget* window = openCalibrate_();
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
}

void frmMain::cmdRST_Click()
{
    if (session().busy())
        return;
    session().exclusive([this] {
        session().send(commands::Reset);
        RefreshFromInstrument();
    });
}

void frmMain::cmdError_Click()
{
    if (session().busy())
        return;
    const std::string reply = session().query(commands::ErrorQuery);
    panel::showMessage(this, QMessageBox::Information, commands::ErrorQuery, QString::fromLatin1(reply));
}

void frmMain::cmdUserStates_Click()
{
    if (session().busy())
        return;
    {
        frmSaveState window(session(), this);
        window.exec();
    }
    RefreshFromInstrument();
}

// The read-back alone, without a reset; ignored while an exchange runs, as
// the action buttons are.
void frmMain::refreshKeyPress()
{
    if (!session().busy())
        RefreshFromInstrument();
}

void frmMain::showKeys()
{
    if (!keys_)
        keys_ = new frmKeys(this);
    keys_->show();
    keys_->raise();
    keys_->activateWindow();
}

frmTrafficLog* frmMain::showTrafficLog()
{
    trafficLog_->show();
    trafficLog_->raise();
    trafficLog_->activateWindow();
    return trafficLog_;
}

void frmMain::cmdQuit_Click()
{
    Form_Unload();
}

void frmMain::Form_Unload()
{
    session().close();
    endRun(0);
}

void frmMain::endRun(int status)
{
    ended_ = true;
    env_.endProgram(status);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

// A plain window does not press a focused button on Enter by itself.
void frmMain::keyPressEvent(QKeyEvent* event)
{
    if (!panel::pressFocusedButtonOnEnter(this, event))
        QWidget::keyPressEvent(event);
}

// While the panel's own exchange runs (the instrument is being read, or a
// reply is awaited), the sliders take no operator input: a value moved then
// would never reach the instrument.
bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (!sending() && isOperatorInput(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

#include "moc_frmMain.cpp"
