#pragma once

#include <QFileDialog>
#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>
#include <string>
#include <vector>

#include "CalibrationTable.h"

class frmMain;

namespace session {
struct SetupApplied;
}

namespace panel {

struct FileKind;

// The main window's "Save Setup…" (Ctrl+S) and "Load Setup…" (Ctrl+O):
// the instrument's settings into a setup file, and a checked setup file,
// once the operator has seen its messages, to the instrument. Both do
// nothing while the window does not send. Their exchanges join the
// session's queue, and their outcome is told once they have run. Other
// windows save through them too: a setup whose comment lines carry remarks
// (a calibration's result), alone or as a calibration table's section.
class SetupFiles : public QObject {
    Q_OBJECT
public:
    static constexpr const char* Suffix = "scpi";

    explicit SetupFiles(frmMain& window);

    void save();
    void load();
    // The file dialog and the outcome show over the window `over`.
    void saveWith(QWidget* over, const std::vector<std::string>& remarks);
    void addToTable(QWidget* over, instrument::LoHz hz, const std::vector<std::string>& remarks);

private:
    // Writes a setup's text where the operator chose; empty, or why not.
    using Keep = std::function<std::string(const QString& path, const std::string& setup)>;

    QString chooseFile(QWidget* over, QFileDialog::AcceptMode mode, const QString& title, const FileKind& kind);
    void keepSetup(QWidget* over, const QString& title, const FileKind& kind, const std::vector<std::string>& remarks,
        const Keep& keep, const QString& done);
    bool confirmed(const std::string& serialNumber, const std::vector<std::string>& messages);
    void tell(const QPointer<QWidget>& over, QMessageBox::Icon icon, const QString& title, const QString& text);
    void tellLoaded(const session::SetupApplied& applied);

    frmMain& window_;
};

} // namespace panel
