#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QString>
#include <string>
#include <vector>

class frmMain;

namespace session {
struct SetupApplied;
}

namespace panel {

// The main window's "Save Setup…" (Ctrl+S) and "Load Setup…" (Ctrl+O):
// the instrument's settings into a setup file, and a checked setup file,
// once the operator has seen its messages, to the instrument. Both do
// nothing while the window does not send. Their exchanges join the
// session's queue, and their outcome is told once they have run.
class SetupFiles : public QObject {
    Q_OBJECT
public:
    static constexpr const char* Suffix = "scpi";

    explicit SetupFiles(frmMain& window);

    void save();
    void load();

private:
    QString chooseFile(QFileDialog::AcceptMode mode, const QString& title);
    bool confirmed(const std::string& serialNumber, const std::vector<std::string>& messages);
    void tell(QMessageBox::Icon icon, const QString& title, const QString& text);
    void tellLoaded(const session::SetupApplied& applied);

    frmMain& window_;
};

} // namespace panel
