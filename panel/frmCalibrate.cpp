#include "frmCalibrate.h"

#include <QChartView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>
#include <QValueAxis>
#include <cmath>

#include "CommandSet.h"
#include "InstrumentSession.h"
#include "RefusalMark.h"
#include "SetupFiles.h"
#include "frmMain.h"

namespace commands = instrument::commands;
using calibration::Outcome;

namespace {

// A frequency or level box: blank is none; anything else must be a number.
struct NumberField {
    bool valid = true;
    std::optional<double> value;
};

NumberField numberIn(QLineEdit* box)
{
    const QString text = box->text().trimmed();
    panel::unmarkRefused(box);
    if (text.isEmpty())
        return {};
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (ok && std::isfinite(value))
        return { true, value };
    panel::markRefused(box, QString("\"%1\" is no number").arg(text));
    return { false, std::nullopt };
}

// The LO box: blank is none; anything else must be whole hertz.
struct LoField {
    bool valid = true;
    std::optional<instrument::LoHz> value;
};

LoField loIn(QLineEdit* box)
{
    const std::string text = box->text().trimmed().toStdString();
    panel::unmarkRefused(box);
    if (text.empty())
        return {};
    std::string problem;
    const std::optional<instrument::LoHz> hz = instrument::parseLoHz(text, &problem);
    if (!hz)
        panel::markRefused(box, QString::fromStdString(problem));
    return { hz.has_value(), hz };
}

QSpinBox* markerBox(const char* name, int lowest, int initial)
{
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setRange(lowest, 4);
    box->setValue(initial);
    if (lowest == 0)
        box->setSpecialValueText("none");
    return box;
}

QLineEdit* numberBox(const char* name, const char* placeholder)
{
    auto* box = new QLineEdit;
    box->setObjectName(name);
    box->setPlaceholderText(placeholder);
    return box;
}

QWidget* row(QWidget* marker, QWidget* hz)
{
    auto* both = new QWidget;
    auto* layout = new QHBoxLayout(both);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel("marker"));
    layout->addWidget(marker);
    layout->addWidget(new QLabel("at Hz"));
    layout->addWidget(hz, 1);
    return both;
}

QString outcomeText(Outcome outcome)
{
    switch (outcome) {
    case Outcome::TargetMet: return "Target met";
    case Outcome::Converged: return "Converged";
    case Outcome::BudgetSpent: return "Budget of readings spent";
    case Outcome::Aborted: return "Aborted";
    case Outcome::AnalyzerFailed: return "Analyzer failed";
    case Outcome::InstrumentFailed: return "Instrument failed";
    }
    return {};
}

QString dbm(double value) { return QString::number(value, 'f', 2) + " dBm"; }

// The result's fields, one a line.
QString resultText(const calibration::Result& result)
{
    QStringList lines { outcomeText(result.outcome) };
    if (!result.problem.empty())
        lines << QString::fromStdString(result.problem);
    QStringList settings;
    for (const calibration::SettingValue& setting : result.settings)
        settings << QString::fromStdString(commands::withArgument(instrument::settingOf(setting.id).prefix, setting.value));
    lines << "Settings: " + settings.join(", ")
            + (result.settingsMeasured ? QString() : QString(" (not measured: the link went down before they were put back)"));
    lines << QString("Carrier: %1, %2 dB below the start").arg(dbm(result.carrierDbm))
                 .arg(result.carrierBelowStartDb(), 0, 'f', 2);
    if (result.imageDbm) {
        const auto dbc = result.imageDbc();
        lines << "Image: " + dbm(*result.imageDbm) + (dbc ? QString(", %1 dBc").arg(*dbc, 0, 'f', 2) : QString());
    }
    lines << QString("Readings: %1 in %2 s").arg(result.readings).arg(result.taken.count(), 0, 'f', 1);
    lines << "Analyzer: " + QString::fromStdString(result.analyzerIdentity);
    if (result.loHz)
        lines << QString("LO: %1 Hz").arg(*result.loHz, 0, 'f', 0);
    return lines.join('\n');
}

} // namespace

frmCalibrate::frmCalibrate(frmMain& main, panel::StartCalibration start, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , main_(main)
    , start_(std::move(start))
{
    setObjectName("frmCalibrate");
    setWindowTitle("Calibrate");
    auto* layout = new QHBoxLayout(this);
    layout->addWidget(buildFields());
    // The result's files go below the plot, where the fields leave room:
    // the window keeps its size.
    auto* plotSide = new QVBoxLayout;
    plotSide->addWidget(buildPlot(), 1);
    plotSide->addWidget(buildKeeping());
    layout->addLayout(plotSide, 1);
    showRunning(false);
}

QWidget* frmCalibrate::buildFields()
{
    auto* fields = new QWidget;
    auto* form = new QFormLayout(fields);
    cboResource = new QComboBox;
    cboResource->setObjectName("cboResource");
    cboResource->setEditable(true);
    cboResource->setMinimumContentsLength(28);
    cboResource->setToolTip("The analyzer: TCPIP::host::port::SOCKET (raw SCPI) or TCPIP::host::INSTR (VXI-11)");
    form->addRow("Analyzer", cboResource);

    spnCarrierMarker = markerBox("spnCarrierMarker", 1, 1);
    txtCarrierHz = numberBox("txtCarrierHz", "where the marker stands");
    form->addRow("Carrier", row(spnCarrierMarker, txtCarrierHz));
    spnImageMarker = markerBox("spnImageMarker", 0, 2);
    txtImageHz = numberBox("txtImageHz", "where the marker stands");
    form->addRow("Image", row(spnImageMarker, txtImageHz));
    spnWantedMarker = markerBox("spnWantedMarker", 0, 3);
    txtWantedHz = numberBox("txtWantedHz", "where the marker stands");
    form->addRow("Wanted", row(spnWantedMarker, txtWantedHz));

    cboOffsets = new QComboBox;
    cboOffsets->setObjectName("cboOffsets");
    cboOffsets->addItems({ "Modulator offsets", "Modulator input offsets", "Baseband offsets" });
    form->addRow("Null with", cboOffsets);
    txtTarget = numberBox("txtTarget", "none: until converged");
    form->addRow("Target dBm", txtTarget);
    spnBudget = new QSpinBox;
    spnBudget->setObjectName("spnBudget");
    spnBudget->setRange(1, 10000);
    spnBudget->setValue(calibration::Request {}.budget);
    form->addRow("Budget of readings", spnBudget);
    txtLoHz = numberBox("txtLoHz", "for the result and its table");
    txtLoHz->setToolTip("Whole hertz, plain or in e-notation: 2400000000 or 2.4e9");
    form->addRow("LO Hz", txtLoHz);
    cboOnAbort = new QComboBox;
    cboOnAbort->setObjectName("cboOnAbort");
    cboOnAbort->addItems({ "Keep the best values", "Keep the starting values" });
    form->addRow("On abort", cboOnAbort);

    auto* buttons = new QWidget;
    auto* buttonRow = new QHBoxLayout(buttons);
    buttonRow->setContentsMargins(0, 0, 0, 0);
    cmdStart = new QPushButton("Start");
    cmdStart->setObjectName("cmdStart");
    cmdAbort = new QPushButton("Abort");
    cmdAbort->setObjectName("cmdAbort");
    cmdAbort->setToolTip("Ends the run at its next step (Esc too)");
    buttonRow->addWidget(cmdStart);
    buttonRow->addWidget(cmdAbort);
    form->addRow(buttons);
    connect(cmdStart, &QPushButton::clicked, this, &frmCalibrate::cmdStart_Click);
    connect(cmdAbort, &QPushButton::clicked, this, &frmCalibrate::cmdAbort_Click);

    lblStep = new QLabel;
    lblStep->setObjectName("lblStep");
    lblStep->setTextFormat(Qt::PlainText);
    lblStep->setWordWrap(true);
    form->addRow("Step", lblStep);
    lblResult = new QLabel;
    lblResult->setObjectName("lblResult");
    lblResult->setTextFormat(Qt::PlainText);
    lblResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblResult->setWordWrap(true);
    lblResult->setMinimumHeight(lblResult->fontMetrics().lineSpacing() * 8); // every field of a result
    form->addRow("Result", lblResult);

    auto* store = new QWidget;
    auto* storeRow = new QHBoxLayout(store);
    storeRow->setContentsMargins(0, 0, 0, 0);
    spnState = new QSpinBox;
    spnState->setObjectName("spnState");
    spnState->setRange(commands::FirstUserState, commands::LastUserState);
    cmdStore = new QPushButton("Store in user state");
    cmdStore->setObjectName("cmdStore");
    cmdStore->setToolTip("Sends SYST:SAVE and the chosen state, 0 to 9, with the result's settings on the instrument");
    storeRow->addWidget(spnState);
    storeRow->addWidget(cmdStore, 1);
    form->addRow(store);
    connect(cmdStore, &QPushButton::clicked, this, &frmCalibrate::cmdStore_Click);
    for (QPushButton* button : { cmdStart, cmdAbort, cmdStore })
        button->setAutoDefault(false);
    return fields;
}

// The result into files: a setup, or a calibration table's section.
QWidget* frmCalibrate::buildKeeping()
{
    auto* keeping = new QWidget;
    auto* keepingRow = new QHBoxLayout(keeping);
    keepingRow->setContentsMargins(0, 0, 0, 0);
    cmdSaveSetup = new QPushButton("Save as Setup…");
    cmdSaveSetup->setObjectName("cmdSaveSetup");
    cmdSaveSetup->setToolTip("Reads every setting back into a setup file whose comment lines carry the result");
    cmdAddToTable = new QPushButton("Add to Table…");
    cmdAddToTable->setObjectName("cmdAddToTable");
    cmdAddToTable->setToolTip("Adds the setup to a calibration table as the section of the LO frequency given, "
                              "in place of one of that frequency");
    keepingRow->addStretch(1);
    for (QPushButton* button : { cmdSaveSetup, cmdAddToTable }) {
        button->setAutoDefault(false);
        keepingRow->addWidget(button);
    }
    connect(cmdSaveSetup, &QPushButton::clicked, this, &frmCalibrate::cmdSaveSetup_Click);
    connect(cmdAddToTable, &QPushButton::clicked, this, &frmCalibrate::cmdAddToTable_Click);
    return keeping;
}

QWidget* frmCalibrate::buildPlot()
{
    auto* chart = new QChart;
    chart->setTitle("Power against readings");
    carrierSeries = new QLineSeries;
    carrierSeries->setName("Carrier");
    imageSeries = new QLineSeries;
    imageSeries->setName("Image");
    readingsAxis_ = new QValueAxis;
    readingsAxis_->setTitleText("readings");
    readingsAxis_->setLabelFormat("%d");
    powerAxis_ = new QValueAxis;
    powerAxis_->setTitleText("dBm");
    chart->addAxis(readingsAxis_, Qt::AlignBottom);
    chart->addAxis(powerAxis_, Qt::AlignLeft);
    for (QLineSeries* series : { carrierSeries, imageSeries }) {
        chart->addSeries(series);
        series->attachAxis(readingsAxis_);
        series->attachAxis(powerAxis_);
        series->setPointsVisible(true);
    }
    chtPower = new QChartView(chart);
    chtPower->setObjectName("chtPower");
    chtPower->setMinimumSize(480, 360);
    chtPower->setRenderHint(QPainter::Antialiasing);
    return chtPower;
}

void frmCalibrate::offerResource(const QString& resource, bool first)
{
    if (cboResource->findText(resource) >= 0)
        return;
    cboResource->insertItem(first ? 0 : cboResource->count(), resource);
    if (first || cboResource->currentText().isEmpty())
        cboResource->setCurrentText(resource);
}

// The request the fields make; none, with the boxes that hold no number
// marked, when one does not.
std::optional<calibration::Request> frmCalibrate::request()
{
    const NumberField carrierHz = numberIn(txtCarrierHz), imageHz = numberIn(txtImageHz),
                      wantedHz = numberIn(txtWantedHz), target = numberIn(txtTarget);
    const LoField lo = loIn(txtLoHz);
    if (!carrierHz.valid || !imageHz.valid || !wantedHz.valid || !target.valid || !lo.valid)
        return std::nullopt;
    const auto probe = [](QSpinBox* marker, const NumberField& hz) -> std::optional<calibration::Probe> {
        if (marker->value() == 0)
            return std::nullopt;
        return calibration::Probe { marker->value(), hz.value };
    };
    calibration::Request request;
    request.offsets = static_cast<calibration::OffsetPair>(cboOffsets->currentIndex());
    request.carrier = *probe(spnCarrierMarker, carrierHz);
    request.image = probe(spnImageMarker, imageHz);
    request.wanted = probe(spnWantedMarker, wantedHz);
    request.targetDbm = target.value;
    request.budget = spnBudget->value();
    if (lo.value)
        request.loHz = static_cast<double>(*lo.value);
    return request;
}

void frmCalibrate::cmdStart_Click()
{
    if (running())
        return;
    const std::optional<calibration::Request> wanted = request();
    if (!wanted)
        return;
    std::string problem;
    run_ = start_(cboResource->currentText().trimmed().toStdString(), *wanted, problem);
    if (!run_) {
        lblStep->setText(QString::fromStdString(problem));
        return;
    }
    carrierSeries->clear();
    imageSeries->clear();
    readingsAxis_->setRange(0, 1);
    powerAxis_->setRange(-60, -50);
    result_.reset();
    lblResult->clear();
    showRunning(true);
    main_.claimSettings(run_->claimed(), calibration::Origin);
    const calibration::Result result = run_->run([this](const calibration::Progress& progress) { plot(progress); });
    main_.releaseSettings();
    run_.reset();
    showResult(result);
}

void frmCalibrate::cmdAbort_Click()
{
    if (!running())
        return;
    run_->abort(cboOnAbort->currentIndex() == 0 ? calibration::OnAbort::KeepBest : calibration::OnAbort::KeepStart);
    lblStep->setText("aborting…");
}

// With the panel's range check: the box takes only 0 to 9.
void frmCalibrate::cmdStore_Click()
{
    if (!result_ || running())
        return;
    main_.session().sendAhead(commands::withArgument(commands::SaveStatePrefix, spnState->value()));
}

void frmCalibrate::cmdSaveSetup_Click()
{
    if (!result_ || running())
        return;
    main_.setupFiles().saveWith(this, calibration::resultComments(*result_));
}

// At the LO frequency the box holds now, which the result's comments then
// carry too: one given only after the run counts.
void frmCalibrate::cmdAddToTable_Click()
{
    if (!result_ || running())
        return;
    const LoField lo = loIn(txtLoHz);
    if (lo.valid && !lo.value)
        panel::markRefused(txtLoHz, "Add to Table needs the LO frequency in Hz");
    if (!lo.value)
        return;
    calibration::Result noted = *result_;
    noted.loHz = static_cast<double>(*lo.value);
    main_.setupFiles().addToTable(this, *lo.value, calibration::resultComments(noted));
}

// Each reading a point; the axes widen to hold every point.
void frmCalibrate::plot(const calibration::Progress& progress)
{
    lblStep->setText(QString::fromStdString(progress.step));
    const auto add = [this, &progress](QLineSeries* series, const std::optional<double>& dbm) {
        if (!dbm)
            return;
        series->append(progress.readings, *dbm);
        readingsAxis_->setMax(std::max<double>(readingsAxis_->max(), progress.readings));
        powerAxis_->setRange(std::min(powerAxis_->min(), std::floor(*dbm / 10) * 10),
            std::max(powerAxis_->max(), std::ceil(*dbm / 10) * 10));
    };
    add(carrierSeries, progress.carrierDbm);
    add(imageSeries, progress.imageDbm);
}

void frmCalibrate::showResult(const calibration::Result& result)
{
    result_ = result;
    lblStep->setText(result.succeeded() ? "done" : outcomeText(result.outcome).toLower());
    lblResult->setText(resultText(result));
    showRunning(false);
}

void frmCalibrate::showRunning(bool running)
{
    for (QWidget* field : std::initializer_list<QWidget*> { cboResource, spnCarrierMarker, txtCarrierHz,
             spnImageMarker, txtImageHz, spnWantedMarker, txtWantedHz, cboOffsets, txtTarget, spnBudget, txtLoHz,
             cmdStart })
        field->setEnabled(!running);
    cmdAbort->setEnabled(running);
    for (QPushButton* keeping : { cmdStore, cmdSaveSetup, cmdAddToTable })
        keeping->setEnabled(!running && result_ && result_->settingsMeasured);
}

void frmCalibrate::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && running()) {
        cmdAbort_Click();
        return;
    }
    QWidget::keyPressEvent(event);
}

// Closing during a run aborts it; the window goes once the run has ended.
void frmCalibrate::closeEvent(QCloseEvent* event)
{
    if (running()) {
        cmdAbort_Click();
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}

#include "moc_frmCalibrate.cpp"
