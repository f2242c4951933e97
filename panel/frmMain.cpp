#include "panel/frmMain.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <cstdlib>

#include "Version.h"
#include "panel/Buttons.h"
#include "panel/EnterKey.h"
#include "panel/MessageBoxes.h"
#include "panel/RoomForText.h"
#include "panel/SettingScrollBar.h"
#include "panel/Twips.h"
#include "panel/frmSaveState.h"
#include "panel/frmSelect.h"

namespace commands = usblink::commands;
using panel::SettingScrollBar;
using panel::twipsRect;

namespace {

constexpr const char* TitlePrefix = "R6140K Control Panel   V";
constexpr const char* IdentityCaption = "*IDN? = ";
constexpr const char* ReferenceLockCaption = ":SYSTem:REFLock? = ";

struct TwipsBox {
    int left, top, width, height;
    QRect pixels() const { return twipsRect(left, top, width, height); }
};

struct ToggleSpec {
    QPushButton* frmMain::*button;
    int16_t frmMain::*state;
    const char* name;
    const char* mnemonic;
    const char* accessibleName;
    commands::Setting setting;
    TwipsBox box;
};

const ToggleSpec Toggles[frmMain::ToggleCount] = {
    { &frmMain::cmdBB_Swap, &frmMain::BasebandSwapState, "cmdBB_Swap", ":BASEband:SWAP", "Baseband I/Q swap",
        commands::BasebandSwap, { 120, 1320, 2295, 615 } },
    { &frmMain::cmdBB_ZIN, &frmMain::BasebandZinState, "cmdBB_ZIN", ":BASband:ZINPut", "Baseband input impedance",
        commands::BasebandZin, { 120, 2040, 2295, 615 } },
    { &frmMain::cmdMod_ZIN, &frmMain::ModulatorZinState, "cmdMod_ZIN", ":MODulator:ZINPut", "Modulator input impedance",
        commands::ModulatorZin, { 2640, 2040, 2295, 615 } },
};

struct FrameSpec {
    QGroupBox* frmMain::*frame;
    const char* name;
    const char* caption;
    int left;
};

constexpr int FrameTop = 2880, FrameWidth = 2295, FrameHeight = 5175;

const FrameSpec Frames[] = {
    { &frmMain::fraBaseDAC, "fraBaseDAC", ":BASband:OFFset", 120 },
    { &frmMain::fraModDAC, "fraModDAC", "MODulator:INPutoffset", 2640 },
    { &frmMain::fraAtten, "fraAtten", ":MODulator:ATTenuator", 5040 },
    { &frmMain::fraModOffset, "fraModOffset", ":MODulator:OFFset", 7560 },
};

// Offsets run over the whole 16-bit range and show the value; attenuators
// count eighths of a dB and show decibels.
struct SliderKind {
    int bottom, top, pageStep;
    bool decibels;
};
constexpr SliderKind Offset { -32768, 32767, 10, false };
constexpr SliderKind Attenuator { 0, 127, 8, true };

struct SliderSpec {
    SettingScrollBar* frmMain::*slider;
    QLabel* frmMain::*label;
    const char* sliderName;
    const char* labelName;
    commands::Setting setting;
    SliderKind kind;
    int frame;
    int sliderLeft, labelLeft, labelWidth;
    const char* nameLabel;
    int nameLeft;
    const char* caption;
    const char* accessibleName;
};

constexpr int SliderTop = 600, SliderWidth = 375, SliderHeight = 4095;
constexpr int ValueLabelTop = 360, ValueLabelHeight = 255;
constexpr int NameLabelTop = 4800, NameLabelHeight = 195;

// In focus order.
const SliderSpec Sliders[frmMain::SliderCount] = {
    { &frmMain::scrBB_I_Off, &frmMain::lblBB_I_OFF, "scrBB_I_Off", "lblBB_I_OFF", commands::BasebandIOffset, Offset, 0,
        360, 120, 855, "Label1", 360, "BB I", "Baseband I offset" },
    { &frmMain::scrBB_Q_Off, &frmMain::lblBB_Q_OFF, "scrBB_Q_Off", "lblBB_Q_OFF", commands::BasebandQOffset, Offset, 0,
        1440, 1200, 855, "Label2", 1440, "BB Q", "Baseband Q offset" },
    { &frmMain::scrMod_I_Off, &frmMain::lblMod_I_Off, "scrMod_I_Off", "lblMod_I_Off", commands::ModulatorIInputOffset,
        Offset, 1, 360, 120, 735, "Label7", 240, "Mod I Off", "Modulator I input offset" },
    { &frmMain::scrMod_Q_Off, &frmMain::lblMod_Q_Off, "scrMod_Q_Off", "lblMod_Q_Off", commands::ModulatorQInputOffset,
        Offset, 1, 1560, 1320, 735, "Label8", 1320, "Mod Q Off", "Modulator Q input offset" },
    { &frmMain::scrIAtt, &frmMain::lblIAtt, "scrIAtt", "lblIAtt", commands::ModulatorIAttenuator, Attenuator, 2, 360,
        120, 735, "Label3", 360, "I Atten", "Modulator I attenuator" },
    { &frmMain::scrQAtt, &frmMain::lblQAtt, "scrQAtt", "lblQAtt", commands::ModulatorQAttenuator, Attenuator, 2, 1440,
        1200, 735, "Label4", 1320, "Q Atten", "Modulator Q attenuator" },
    { &frmMain::scrIMod, &frmMain::lblIMod, "scrIMod", "lblIMod", commands::ModulatorIOffset, Offset, 3, 360, 120, 735,
        "Label5", 360, "I Off", "Modulator I offset" },
    { &frmMain::scrQMod, &frmMain::lblQMod, "scrQMod", "lblQMod", commands::ModulatorQOffset, Offset, 3, 1440, 1200,
        735, "Label6", 1440, "Q Off", "Modulator Q offset" },
};

// The read-back visits toggles and sliders in the instrument's own order.
struct ReadBackStep {
    bool toggle;
    int index;
};
constexpr ReadBackStep ReadBackOrder[] = {
    { true, 0 },
    { true, 1 },
    { false, 0 },
    { false, 1 },
    { true, 2 },
    { false, 4 },
    { false, 5 },
    { false, 2 },
    { false, 3 },
    { false, 6 },
    { false, 7 },
};

QString decibelText(int steps)
{
    return QString::number(steps * 0.125, 'g', 10) + " dB";
}

QString valueText(const SliderKind& kind, int value)
{
    return kind.decibels ? decibelText(value) : QString::number(value);
}

// The texts of a value label that may be the widest: every decibel value, and
// the ends of an offset range, whose digits are all of one width.
QStringList widestValueTexts(const SliderKind& kind)
{
    if (!kind.decibels)
        return { valueText(kind, kind.bottom), valueText(kind, kind.top) };
    QStringList texts;
    for (int value = kind.bottom; value <= kind.top; ++value)
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
    const auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return QString::fromLatin1(text.substr(first, text.find_last_not_of(' ') - first + 1));
}

// Marks an exchange with the instrument as running for the scope's life.
class ExchangeScope {
public:
    explicit ExchangeScope(bool& running)
        : running_(running)
        , previous_(running)
    {
        running_ = true;
    }
    ~ExchangeScope() { running_ = previous_; }
    ExchangeScope(const ExchangeScope&) = delete;
    ExchangeScope& operator=(const ExchangeScope&) = delete;

private:
    bool& running_;
    bool previous_;
};

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
    buildGeneralInformation();
    buildToggles();
    buildSliders();
    buildButtons();
    setFocusOrder();
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
    panel::makeRoomFor(lblIDN, failedReplyTexts(IdentityCaption));
    panel::makeRoomFor(lblRefLock, failedReplyTexts(ReferenceLockCaption));
}

void frmMain::buildToggles()
{
    for (int i = 0; i < ToggleCount; ++i) {
        const ToggleSpec& row = Toggles[i];
        auto* button = new QPushButton(row.mnemonic, this);
        button->setObjectName(row.name);
        button->setGeometry(row.box.pixels());
        button->setAccessibleName(row.accessibleName);
        connect(button, &QPushButton::clicked, this, [this, i] { toggleClick(i); });
        this->*row.button = button;
        toggles_[i] = button;
        toggleStates_[i] = &(this->*row.state);
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
    for (int i = 0; i < SliderCount; ++i) {
        const SliderSpec& row = Sliders[i];
        QGroupBox* frame = frames[row.frame];
        auto* slider = new SettingScrollBar(row.kind.bottom, row.kind.top, row.kind.pageStep, frame);
        slider->setObjectName(row.sliderName);
        slider->setGeometry(twipsRect(row.sliderLeft, SliderTop, SliderWidth, SliderHeight));
        slider->setAccessibleName(row.accessibleName);
        slider->installEventFilter(this);
        connect(slider, &SettingScrollBar::settingChanged, this, [this, i] { sliderChange(i); });

        auto* valueLabel = new QLabel("0", frame);
        valueLabel->setObjectName(row.labelName);
        valueLabel->setGeometry(twipsRect(row.labelLeft, ValueLabelTop, row.labelWidth, ValueLabelHeight));
        valueLabel->setAlignment(Qt::AlignCenter);
        valueLabel->setAccessibleName(QString(row.accessibleName) + " value");
        panel::makeRoomFor(valueLabel, widestValueTexts(row.kind));

        auto* nameLabel = new QLabel(row.caption, frame);
        nameLabel->setObjectName(row.nameLabel);
        nameLabel->move(twipsRect(row.nameLeft, NameLabelTop, 0, NameLabelHeight).topLeft());
        nameLabel->adjustSize();

        this->*row.slider = slider;
        this->*row.label = valueLabel;
        sliders_[i] = slider;
        sliderLabels_[i] = valueLabel;
    }
}

void frmMain::buildButtons()
{
    cmdError = panel::addButton(this, "cmdError", "Query :SYSTem:Error?", "Show the instrument's oldest error",
        twipsRect(120, 8160, 2295, 495), this, &frmMain::cmdError_Click);
    cmdRST = panel::addButton(this, "cmdRST", "Send: *RST", "Reset the instrument and read it back",
        twipsRect(3720, 8160, 1575, 495), this, &frmMain::cmdRST_Click);
    cmdUserStates = panel::addButton(this, "cmdUserStates", "Save / Recall User States", "Save or recall user states",
        twipsRect(5640, 8160, 2655, 495), this, &frmMain::cmdUserStates_Click);
    cmdQuit = panel::addButton(
        this, "cmdQuit", "Quit", "Quit", twipsRect(8640, 8160, 1215, 495), this, &frmMain::cmdQuit_Click);
}

void frmMain::setFocusOrder()
{
    std::vector<QWidget*> order(toggles_.begin(), toggles_.end());
    order.insert(order.end(), sliders_.begin(), sliders_.end());
    order.insert(order.end(), { cmdError, cmdRST, cmdUserStates, cmdQuit });
    for (std::size_t i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
    toggles_.front()->setFocus();
}

[[noreturn]] static void endRun(const panel::PanelEnvironment& env, int status)
{
    if (env.endProgram)
        env.endProgram(status);
    std::fflush(nullptr);
    std::_Exit(status);
}

void frmMain::Form_Load()
{
    ExchangeScope startUp(exchangeRunning_);
    setWindowTitle(
        QString("%1%2.%3.%4").arg(TitlePrefix).arg(app::VersionMajor).arg(app::VersionMinor).arg(app::VersionRevision));
    if (const QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    show();

    Devices = driver().EnumerateDevices();
    {
        frmSelect chooser(*this);
        if (!chooser.Form_Load())
            endRun(env_, 1);
        if (chooser.exec() != QDialog::Accepted)
            endRun(env_, 0); // closed without a choice: nothing is opened
    }

    DevHandle = driver().OpenDevice(Selection);
    lblUSB_ID->setText("USB ID = " + QString::fromLatin1(Devices.at(static_cast<std::size_t>(Selection))));
    TimerModule::Delay(0.5f, env_.clock, env_.processEvents);
    send(commands::Blank);
    send(commands::ClearStatus);
    lblIDN->setText(IdentityCaption + QString::fromLatin1(query(commands::Identify)));
    RefreshFromInstrument();
}

void frmMain::RefreshFromInstrument()
{
    ExchangeScope readBack(exchangeRunning_);
    SendEnabled = 0;
    for (const ReadBackStep& step : ReadBackOrder) {
        const commands::Setting& setting = step.toggle ? Toggles[step.index].setting : Sliders[step.index].setting;
        // A reply that is no usable number leaves its control as it is.
        const auto value = commands::toInteger(query(setting.query));
        if (!value)
            continue;
        if (step.toggle)
            applyToggle(step.index, *value);
        else
            applySlider(step.index, *value);
    }
    lblRefLock->setText(ReferenceLockCaption + withoutSurroundingBlanks(query(commands::ReferenceLockQuery)));
    SendEnabled = -1;
}

void frmMain::applyToggle(int toggle, int16_t state)
{
    *toggleStates_[toggle] = state;
    toggleClick(toggle);
}

void frmMain::applySlider(int slider, int16_t value)
{
    SettingScrollBar* bar = sliders_[slider];
    if (value < bar->bottomSetting() || value > bar->topSetting())
        return;
    {
        // The change handling runs once below, also when the value is unchanged,
        // so the label always shows what the instrument reported.
        const QSignalBlocker blocker(bar);
        bar->setSetting(value);
    }
    sliderChange(slider);
}

void frmMain::toggleClick(int toggle)
{
    const ToggleSpec& row = Toggles[toggle];
    int16_t& state = *toggleStates_[toggle];
    if (sending()) {
        state = state == 0 ? 1 : 0;
        send(commands::withArgument(row.setting.prefix, state));
    }
    toggles_[toggle]->setText(QString("%1\n%2").arg(row.mnemonic).arg(state));
}

void frmMain::sliderChange(int slider)
{
    const SliderSpec& row = Sliders[slider];
    if (sending())
        send(commands::withArgument(row.setting.prefix, sliders_[slider]->setting()));
    // Read again: a change handled while the message was sent may have moved it.
    const int value = sliders_[slider]->setting();
    sliderLabels_[slider]->setText(valueText(row.kind, value));
}

void frmMain::cmdRST_Click()
{
    if (exchangeRunning_)
        return;
    ExchangeScope reset(exchangeRunning_);
    send(commands::Reset);
    RefreshFromInstrument();
}

void frmMain::cmdError_Click()
{
    if (exchangeRunning_)
        return;
    std::string reply;
    {
        ExchangeScope errorQuery(exchangeRunning_);
        reply = query(commands::ErrorQuery);
    }
    panel::showMessage(this, QMessageBox::Information, commands::ErrorQuery, QString::fromLatin1(reply));
}

void frmMain::cmdUserStates_Click()
{
    if (exchangeRunning_)
        return;
    {
        frmSaveState window(*this);
        window.exec();
    }
    RefreshFromInstrument();
}

void frmMain::cmdQuit_Click()
{
    Form_Unload();
}

void frmMain::Form_Unload()
{
    driver().CloseDevice(DevHandle);
    endRun(env_, 0);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    event->accept();
    Form_Unload();
}

// While the instrument is being read, or a reply is awaited, the sliders take
// no operator input: a value moved then would never reach the instrument.
// A plain window does not press a focused button on Enter by itself.
void frmMain::keyPressEvent(QKeyEvent* event)
{
    if (!panel::pressFocusedButtonOnEnter(this, event))
        QWidget::keyPressEvent(event);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (!sending() && isOperatorInput(event))
        return true;
    return QWidget::eventFilter(watched, event);
}

void frmMain::send(const std::string& message)
{
    driver().SendCommand(DevHandle, message);
}

// One query is outstanding at a time and the instrument sends nothing
// unasked, so bytes already waiting when a query is about to go out are stale.
std::string frmMain::query(const char* message)
{
    driver().PurgeInput(DevHandle);
    send(message);
    return driver().ReadResponse(DevHandle);
}
