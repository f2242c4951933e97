#include "SetupFiles.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "MessageBoxes.h"
#include "SessionLine.h"
#include "SetupTransfer.h"
#include "frmMain.h"

namespace panel {

namespace {

constexpr const char* SaveTitle = "Save Setup";
constexpr const char* LoadTitle = "Load Setup";

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

QString SetupFiles::chooseFile(QFileDialog::AcceptMode mode, const QString& title)
{
    QFileDialog dialog(&window_, title, QString(), QString("SCPI setups (*.%1);;All files (*)").arg(Suffix));
    dialog.setAcceptMode(mode);
    dialog.setDefaultSuffix(Suffix);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

// Told once the exchange that had the outcome is over, not from inside it.
void SetupFiles::tell(QMessageBox::Icon icon, const QString& title, const QString& text)
{
    QTimer::singleShot(0, this, [this, icon, title, text] { showMessage(&window_, icon, title, text); });
}

void SetupFiles::save()
{
    if (!window_.sending())
        return;
    const QString path = chooseFile(QFileDialog::AcceptSave, SaveTitle);
    if (path.isEmpty() || !window_.sending())
        return;
    const std::string entry = window_.Devices.at(static_cast<std::size_t>(window_.Selection));
    const instrument::SetupNotes notes = session::notesOfNow(window_.identity(), entry);
    window_.session().enqueue([this, path, notes] {
        session::SessionLine line(window_.session());
        const std::string problem = session::saveSetup(line, path, notes);
        if (problem.empty())
            tell(QMessageBox::Information, SaveTitle, "Saved the settings to " + path);
        else
            tell(QMessageBox::Warning, SaveTitle, plain(problem));
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
    const QString path = chooseFile(QFileDialog::AcceptOpen, LoadTitle);
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
        tell(QMessageBox::Warning, LoadTitle, "The instrument does not answer (" + plain(applied.before.failure) + "). Nothing was sent.");
        return;
    }
    const QString before = applied.before.errors.empty()
        ? QString()
        : "\n\nErrors queued before the load: " + errorsText(applied.before.errors);
    if (applied.partial()) {
        // Some of the file's values may have reached the instrument and none
        // was read back: what the window shows is no longer known.
        window_.markSettingsUnread("a setup load was cut short");
        tell(QMessageBox::Warning, LoadTitle, "The load was cut short: " + plain(applied.partialText())
            + ". Load the setup again once the link is back." + before);
    } else if (!applied.after.errors.empty())
        tell(QMessageBox::Warning, LoadTitle, "The setup was sent; the instrument reports: " + errorsText(applied.after.errors) + before);
    else
        tell(QMessageBox::Information, LoadTitle, QString("Setup loaded: %1 settings sent.").arg(applied.sent.size()) + before);
}

} // namespace panel

#include "moc_SetupFiles.cpp"
