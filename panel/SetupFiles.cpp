#include "SetupFiles.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "CalibrationTableFile.h"
#include "MessageBoxes.h"
#include "SessionLine.h"
#include "SetupTransfer.h"
#include "frmMain.h"

namespace panel {

// What the file dialog offers: setups are replaced, tables added to.
struct FileKind {
    const char* suffix;
    const char* name;
    bool addedTo;
};

namespace {

constexpr FileKind SetupKind { SetupFiles::Suffix, "SCPI setups", false };
constexpr FileKind TableKind { "cal", "Calibration tables", true };

constexpr const char* SaveTitle = "Save Setup";
constexpr const char* LoadTitle = "Load Setup";
constexpr const char* TableTitle = "Add to Table";

QString plain(const std::string& text)
{
    return QString::fromLatin1(text);
}

QString listed(const std::vector<std::string>& messages)
{
    QString text;
    for (const std::string& message : messages)
        text += '\n' + plain(message);
    return text;
}

QString errorsText(const std::vector<std::string>& errors)
{
    QString text;
    for (const std::string& error : errors)
        text += (text.isEmpty() ? "" : "; ") + plain(error);
    return text;
}

} // namespace

SetupFiles::SetupFiles(frmMain& window)
    : QObject(&window)
    , window_(window)
{
}

QString SetupFiles::chooseFile(QWidget* over, QFileDialog::AcceptMode mode, const QString& title, const FileKind& kind)
{
    QFileDialog dialog(over, title, QString(), QString("%1 (*.%2);;All files (*)").arg(kind.name, kind.suffix));
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(kind.suffix);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, kind.addedTo);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

// Told once the exchange that had the outcome is over, not from inside it;
// over the main window when `over` has gone meanwhile.
void SetupFiles::tell(const QPointer<QWidget>& over, QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QTimer::singleShot(0, this, [this, over, icon, title, text] {
        showMessage(over ? over.data() : &window_, icon, title, text);
    });
}

void SetupFiles::save()
{
    saveWith(&window_, {});
}

void SetupFiles::saveWith(QWidget* over, const std::vector<std::string>& remarks)
{
    keepSetup(over, SaveTitle, SetupKind, remarks, session::writeSetupFile, "Saved the settings to %1");
}

void SetupFiles::addToTable(QWidget* over, instrument::LoHz hz, const std::vector<std::string>& remarks)
{
    const QString lo = QString("LO %1 Hz").arg(QString::fromStdString(instrument::loHzText(hz)));
    keepSetup(over, TableTitle, TableKind, remarks,
        [hz](const QString& path, const std::string& setup) { return session::addToCalibrationTable(path, hz, setup); },
        "Added the settings to %1 as the section " + lo);
}

// Reads every setting through the queue once the operator has chosen the
// file, and keeps them there; nothing while the window does not send.
void SetupFiles::keepSetup(QWidget* over, const QString& title, const FileKind& kind,
    const std::vector<std::string>& remarks, const Keep& keep, const QString& done)
{
    if (!window_.sending())
        return;
    const QString path = chooseFile(over, QFileDialog::AcceptSave, title, kind);
    if (path.isEmpty() || !window_.sending())
        return;
    const std::string entry = window_.Devices.at(static_cast<std::size_t>(window_.Selection));
    instrument::SetupNotes notes = session::notesOfNow(window_.identity(), entry);
    notes.remarks = remarks;
    window_.session().enqueue([this, over = QPointer<QWidget>(over), title, path, notes, keep, done] {
        session::SessionLine line(window_.session());
        std::string problem;
        const std::string setup = session::currentSetup(line, notes, &problem);
        if (problem.empty())
            problem = keep(path, setup);
        if (problem.empty())
            tell(over, QMessageBox::Information, title, done.arg(path));
        else
            tell(over, QMessageBox::Warning, title, plain(problem));
    });
}

// Shows what the file would send, and says when it was saved from another
// instrument; true when the operator goes on.
bool SetupFiles::confirmed(const std::string& serialNumber, const std::vector<std::string>& messages)
{
    QString text;
    const std::string here = instrument::serialNumberOf(window_.identity());
    if (!serialNumber.empty() && serialNumber != here)
        text = QString("This setup was saved from the instrument with serial number %1; this one is %2.\n\n")
                   .arg(plain(serialNumber), plain(here));
    text += (messages.size() == 1 ? QString("Send this message?\n") : QString("Send these %1 messages?\n").arg(messages.size()))
        + listed(messages);
    QMessageBox box(QMessageBox::Question, LoadTitle, text, QMessageBox::Ok | QMessageBox::Cancel, &window_);
    box.setTextFormat(Qt::PlainText);
    box.button(QMessageBox::Ok)->setText("Send");
    return box.exec() == QMessageBox::Ok;
}

void SetupFiles::load()
{
    if (!window_.sending())
        return;
    const QString path = chooseFile(&window_, QFileDialog::AcceptOpen, LoadTitle, SetupKind);
    if (path.isEmpty())
        return;
    const instrument::SetupFile file = session::readSetupFile(path);
    if (!file.problem.empty()) {
        showMessage(&window_, QMessageBox::Warning, LoadTitle, path + ": " + plain(file.problem) + ". Nothing was sent.");
        return;
    }
    std::vector<std::string> messages;
    for (const instrument::SetupEntry& entry : file.entries)
        messages.push_back(instrument::messageOf(entry));
    if (!confirmed(instrument::serialNumberOf(file.identity), messages) || !window_.sending())
        return;
    window_.session().enqueue([this, file] {
        session::SessionLine line(window_.session());
        const session::SetupApplied applied
            = session::applySetup(line, file, [this] { window_.RefreshFromInstrument(); });
        tellLoaded(applied);
    });
}

// The load is judged by what its own messages caused; what the queue held
// before it is told apart.
void SetupFiles::tellLoaded(const session::SetupApplied& applied)
{
    if (!applied.before.failure.empty()) {
        tell(&window_, QMessageBox::Warning, LoadTitle, "The instrument does not answer (" + plain(applied.before.failure) + "). Nothing was sent.");
        return;
    }
    const QString before = applied.before.errors.empty()
        ? QString()
        : "\n\nErrors queued before the load: " + errorsText(applied.before.errors);
    if (applied.partial()) {
        // Some of the file's values may have reached the instrument and none
        // was read back: what the window shows is no longer known.
        window_.markSettingsUnread("a setup load was cut short");
        tell(&window_, QMessageBox::Warning, LoadTitle, "The load was cut short: " + plain(applied.partialText())
            + ". Load the setup again once the link is back." + before);
    } else if (!applied.after.errors.empty())
        tell(&window_, QMessageBox::Warning, LoadTitle, "The setup was sent; the instrument reports: " + errorsText(applied.after.errors) + before);
    else
        tell(&window_, QMessageBox::Information, LoadTitle, QString("Setup loaded: %1 settings sent.").arg(applied.sent.size()) + before);
}

} // namespace panel

#include "moc_SetupFiles.cpp"
