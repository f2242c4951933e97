#include "frmTrafficLog.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSaveFile>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <utility>

#include "Version.h"
#include "Buttons.h"
#include "MessageSyntax.h"
#include "EnterKey.h"
#include "FocusMark.h"
#include "MessageBoxes.h"
#include "RefusalMark.h"
#include "Twips.h"

using panel::TrafficLogModel;

namespace {

constexpr const char* SaveTitle = "Save Traffic Log";

// The widest text each column but the last usually shows.
constexpr const char* WidestFields[] = { "00:00:00.000", "received", "command line", "127.000.000.001:65535" };
static_assert(std::size(WidestFields) == TrafficLogModel::LineColumn + 1);

// Why a log could not be saved at path. The file is written beside its
// place first and then renamed, so a folder that takes no new files fails
// even an existing file, with a reason from the system that names neither.
QString saveFailure(const QString& path, const QString& reason)
{
    const QFileInfo file(path);
    const QString folder = file.absolutePath();
    if (!QFileInfo(folder).isDir())
        return QString("Could not create %1: there is no folder %2.").arg(path, folder);
    if (!QFileInfo(folder).isWritable())
        return QString("Could not create %1: the folder %2 takes no new files.").arg(path, folder);
    return QString("Could not create %1: %2.").arg(path, reason);
}

// A position along one axis that keeps an extent within the screen's span
// as far as it fits.
int within(int position, int extent, int spanStart, int spanLength)
{
    return std::clamp(position, spanStart, std::max(spanStart, spanStart + spanLength - extent));
}

} // namespace

// Level with the main window's top: to its right where the screen has room,
// else to its left, else on the side with more room, narrowed to it or as
// far over as the screen allows.
QRect frmTrafficLog::firstPlace(const QRect& main, QSize frame, const QRect& screen)
{
    const int roomRight = screen.x() + screen.width() - (main.x() + main.width());
    const int roomLeft = main.x() - screen.x();
    const bool toTheRight = roomRight >= frame.width() || (roomLeft < frame.width() && roomRight >= roomLeft);
    const int room = toTheRight ? roomRight : roomLeft;
    if (room < frame.width() && room >= NarrowestWidth)
        frame.setWidth(room);
    const int x = toTheRight ? main.x() + main.width() : main.x() - frame.width();
    return { QPoint(within(x, frame.width(), screen.x(), screen.width()),
                 within(main.y(), frame.height(), screen.y(), screen.height())),
        frame };
}

frmTrafficLog::frmTrafficLog(session::InstrumentSession& session, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , session_(session)
    , observer_(session.addLineObserver([this](auto direction, const std::string& line, const std::string& origin) {
        record(direction, line, origin);
    }))
{
    setObjectName("frmTrafficLog");
    setWindowTitle("Traffic Log");
    panel::useDialogFont(this);
    new panel::FocusMarkFromTheStart(this);

    cmdCopy = panel::addButton(
        this, "cmdCopy", "&Copy", "Copy the selected lines, or all of them", {}, this, &frmTrafficLog::cmdCopy_Click);
    cmdSave = panel::addButton(
        this, "cmdSave", "&Save...", "Save the log as text", {}, this, &frmTrafficLog::cmdSave_Click);
    buildList();
    buildFilter();
    addClosingKeys();
    auto* commandCaption = new QLabel("Co&mmand:", this);
    commandCaption->setObjectName("lblCommand");
    txtCommand = new QLineEdit(this);
    txtCommand->setObjectName("txtCommand");
    txtCommand->setAccessibleName("Command line: a message to send to the instrument");
    txtCommand->setToolTip("A message to send to the instrument: Enter sends it through the queue; a query's reply "
                           "is listed. F5, Ctrl+L, F1 and Ctrl+Q work here as in the main window; Esc closes the log.");
    commandCaption->setBuddy(txtCommand);
    connect(txtCommand, &QLineEdit::returnPressed, this, &frmTrafficLog::txtCommand_Return);
    connect(txtCommand, &QLineEdit::textEdited, this, [this] { panel::unmarkRefused(txtCommand); });
    txtCommand->installEventFilter(this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdCopy);
    buttons->addWidget(cmdSave);
    buttons->addStretch();
    buttons->addWidget(cboOrigin);
    buttons->addWidget(txtFind);
    auto* commandLine = new QHBoxLayout;
    commandLine->addWidget(commandCaption);
    commandLine->addWidget(txtCommand, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(lstTraffic, 1);
    layout->addLayout(commandLine);
    resize(panel::twipsRect(0, 0, 10800, 6000).size());
    model_.setViewsShown(false); // until the window is first shown
}

frmTrafficLog::~frmTrafficLog()
{
    session_.removeLineObserver(observer_);
}

void frmTrafficLog::buildList()
{
    lstTraffic = new QTreeView(this);
    lstTraffic->setObjectName("lstTraffic");
    lstTraffic->setAccessibleName("Lines sent to and received from the instrument");
    lstTraffic->setToolTip("Every line sent to and received from the instrument since start-up, the newest 10,000: "
                           "Ctrl+C copies the selected lines, or all of them.");
    lstTraffic->setModel(&model_);
    lstTraffic->setRootIsDecorated(false);
    lstTraffic->setItemsExpandable(false);
    lstTraffic->setUniformRowHeights(true);
    lstTraffic->setAllColumnsShowFocus(true);
    lstTraffic->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstTraffic->setSelectionBehavior(QAbstractItemView::SelectRows);
    lstTraffic->installEventFilter(this);
    // Room for the margins a style draws around a field's text.
    const int padding = 4 * lstTraffic->fontMetrics().averageCharWidth();
    for (int column = 0; column < TrafficLogModel::LineColumn; ++column) {
        const int widest = lstTraffic->fontMetrics().horizontalAdvance(WidestFields[column]) + padding;
        lstTraffic->header()->resizeSection(column, std::max(widest, lstTraffic->header()->sectionSizeHint(column)));
    }
    followTheNewestLines();
}

// Narrowing the list hides the rows that do not pass; the lines are all
// kept, copied only as shown, and saved all.
void frmTrafficLog::buildFilter()
{
    cboOrigin = new QComboBox(this);
    cboOrigin->setObjectName("cboOrigin");
    cboOrigin->setAccessibleName("Show lines caused by");
    cboOrigin->setToolTip("Show only the lines caused by one origin: the panel, a remote client, the command line");
    cboOrigin->addItems({ AllOrigins, session::InstrumentSession::PanelOrigin, CommandLineOrigin });
    cboOrigin->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    txtFind = new QLineEdit(this);
    txtFind->setObjectName("txtFind");
    txtFind->setAccessibleName("Show lines holding");
    txtFind->setPlaceholderText("Find");
    txtFind->setClearButtonEnabled(true);
    txtFind->setToolTip("Show only the lines holding this text, in any case");
    connect(cboOrigin, &QComboBox::currentTextChanged, this, [this] { applyFilter(0); });
    connect(txtFind, &QLineEdit::textChanged, this, [this] { applyFilter(0); });
}

bool frmTrafficLog::passes(int row) const
{
    const TrafficLogModel::Entry& entry = model_.entry(row);
    const QString origin = cboOrigin->currentText();
    if (origin != AllOrigins && QString::fromStdString(entry.origin) != origin)
        return false;
    const QString find = txtFind->text();
    return find.isEmpty()
        || model_.index(row, TrafficLogModel::LineColumn).data().toString().contains(find, Qt::CaseInsensitive);
}

// From firstRow on; the rows before it were decided when they came. A list
// not narrowed costs a batch nothing.
void frmTrafficLog::applyFilter(int firstRow)
{
    const bool narrowed = cboOrigin->currentText() != AllOrigins || !txtFind->text().isEmpty();
    if (!narrowed && !std::exchange(narrowed_, false))
        return;
    narrowed_ = narrowed;
    if (!narrowed)
        firstRow = 0;
    for (int row = firstRow; row < model_.rowCount(); ++row)
        lstTraffic->setRowHidden(row, {}, narrowed && !passes(row));
}

// Esc and Ctrl+W close the window wherever its focus is, the command line
// included.
void frmTrafficLog::addClosingKeys()
{
    for (const QKeySequence& keys : { QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W) })
        new QShortcut(keys, this, this, &QWidget::close);
}

// The first time it opens, the log goes beside the main window rather than
// over it; afterwards it opens where the operator left it.
void frmTrafficLog::placeBesideMainWindow()
{
    const QWidget* main = parentWidget();
    if (!main)
        return;
    // Not yet shown, the log has no frame of its own: it will get one like
    // the main window's. Its inside is placed, not its frame: a window
    // manager puts the frame around where the window asks to be, so a frame
    // position given before there is a frame would end up as the inside's.
    const QRect mainFrame = main->frameGeometry(), mainInside = main->geometry();
    const QMargins frame(mainInside.left() - mainFrame.left(), mainInside.top() - mainFrame.top(),
        mainFrame.right() - mainInside.right(), mainFrame.bottom() - mainInside.bottom());
    const QRect place = firstPlace(mainFrame, size().grownBy(frame), main->screen()->availableGeometry());
    setGeometry(place.marginsRemoved(frame));
}

// A list scrolled to its newest line stays there as lines come in; one
// scrolled back to older lines keeps them in view while they are kept. Where
// the list stands is noted once a batch, before the oldest lines make way:
// their removal moves the scroll bar.
void frmTrafficLog::followTheNewestLines()
{
    connect(&model_, &TrafficLogModel::batchAboutToBeShown, this, [this] {
        rowsBeforeBatch_ = model_.rowCount();
        const QScrollBar* bar = lstTraffic->verticalScrollBar();
        scrolledBackTo_.reset();
        if (bar->value() < bar->maximum())
            scrolledBackTo_ = lstTraffic->indexAt({}).row();
    });
    connect(&model_, &TrafficLogModel::batchShown, this, [this](int dropped) {
        applyFilter(rowsBeforeBatch_ - dropped);
        if (!scrolledBackTo_)
            lstTraffic->scrollToBottom();
        else
            lstTraffic->scrollTo(
                model_.index(std::max(*scrolledBackTo_ - dropped, 0), 0), QAbstractItemView::PositionAtTop);
    });
}

// The time is taken in UTC, which needs no look at the time zone.
void frmTrafficLog::record(
    session::InstrumentSession::Direction direction, const std::string& line, const std::string& origin)
{
    if (origins_.insert(origin).second && cboOrigin->findText(QString::fromStdString(origin)) < 0)
        cboOrigin->addItem(QString::fromStdString(origin));
    model_.append({ QDateTime::currentMSecsSinceEpoch(), direction, origin, line });
}

QString frmTrafficLog::linesAsText()
{
    model_.showPending();
    return model_.text();
}

QString frmTrafficLog::savedText()
{
    model_.showPending();
    const QDateTime now = QDateTime::currentDateTime();
    return QString("# R6140K traffic log\n# program = r6140k-panel %1\n# *IDN? = %2\n# saved = %3\n")
               .arg(app::VersionText, QString::fromLatin1(identity_), now.toOffsetFromUtc(now.offsetFromUtc()).toString(Qt::ISODate))
        + model_.text(TrafficLogModel::Times::Dated);
}

void frmTrafficLog::showEvent(QShowEvent* event)
{
    if (!std::exchange(placed_, true))
        placeBesideMainWindow();
    QWidget::showEvent(event);
    model_.setViewsShown(true);
    txtCommand->setFocus(Qt::OtherFocusReason);
}

// Closed or minimised, the window keeps recording, but its list is not
// brought up to date line by line.
void frmTrafficLog::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    model_.setViewsShown(false);
}

void frmTrafficLog::keyPressEvent(QKeyEvent* event)
{
    if (!panel::pressFocusedButtonOnEnter(this, event))
        QWidget::keyPressEvent(event);
}

// Ctrl+C in the list copies whole lines, as the Copy button does, rather
// than the one field that has the focus.
bool frmTrafficLog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == txtCommand && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            recall(key == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    if (watched == lstTraffic && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
        cmdCopy_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

// The message goes out, and a query's reply is read, through the session's
// queue, after the exchanges queued before it; the text stays, selected, so
// that Return sends it again and typing replaces it. A text the instrument
// could not take as it stands (a character beyond ASCII such as a Unicode
// minus, pasted line breaks or tabs between log fields, too long) is refused
// in place, with the reason, and nothing is sent.
void frmTrafficLog::txtCommand_Return()
{
    if (txtCommand->text().trimmed().isEmpty())
        return;
    const std::string message = txtCommand->text().toUtf8().toStdString();
    if (const std::string problem = instrument::messageProblem(message); !problem.empty()) {
        panel::markRefused(txtCommand, QString("Not sent: %1.").arg(QString::fromStdString(problem)));
        return;
    }
    txtCommand->selectAll();
    if (sentCommands_.isEmpty() || sentCommands_.last() != txtCommand->text())
        sentCommands_.append(txtCommand->text());
    recalled_ = sentCommands_.size();
    session_.enqueue(
        [&session = session_, message] {
            if (instrument::expectsReply(message))
                session.query(message);
            else
                session.send(message);
        },
        CommandLineOrigin);
}

// Up goes back through the lines sent, Down forward again and, past the
// newest, to what was being typed.
void frmTrafficLog::recall(int step)
{
    if (recalled_ == sentCommands_.size())
        draft_ = txtCommand->text();
    recalled_ = std::clamp(recalled_ + step, qsizetype(0), sentCommands_.size());
    txtCommand->setText(recalled_ < sentCommands_.size() ? sentCommands_[recalled_] : draft_);
    panel::unmarkRefused(txtCommand);
}

// The selected lines, or else every line the list shows.
void frmTrafficLog::cmdCopy_Click()
{
    model_.showPending();
    std::vector<int> rows;
    for (const QModelIndex& index : lstTraffic->selectionModel()->selectedRows())
        if (!lstTraffic->isRowHidden(index.row(), {}))
            rows.push_back(index.row());
    if (rows.empty())
        for (int row = 0; row < model_.rowCount(); ++row)
            if (!lstTraffic->isRowHidden(row, {}))
                rows.push_back(row);
    std::ranges::sort(rows);
    QApplication::clipboard()->setText(model_.text(rows));
}

void frmTrafficLog::cmdSave_Click()
{
    const QString path
        = QFileDialog::getSaveFileName(this, SaveTitle, "traffic-log.txt", "Text files (*.txt);;All files (*)");
    if (path.isEmpty())
        return;
    QSaveFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Text)) {
        file.write(savedText().toUtf8());
        if (file.commit())
            return;
    }
    panel::showMessage(this, QMessageBox::Critical, SaveTitle, saveFailure(path, file.errorString()));
}

#include "moc_frmTrafficLog.cpp"
