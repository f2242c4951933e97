#pragma once

#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <memory>
#include <string>
#include <vector>

#include "frmSaveState.h"
#include "frmSelect.h"
#include "PanelHarness.h"
#include "ModalWindows.h"

namespace test_support {

// The parts of a whole session at the panel, in order, each run through the
// panel's own controls.
enum class Phase { StartUp, Reset, ErrorQuery, UserStates };

inline constexpr Phase SessionPhases[] = { Phase::StartUp, Phase::Reset, Phase::ErrorQuery, Phase::UserStates };

inline const char* phaseName(Phase phase)
{
    static constexpr const char* Names[] = { "StartUp", "Reset", "ErrorQuery", "UserStates" };
    return Names[static_cast<int>(phase)];
}

// The captions in front of a reply on the main window.
inline const std::string IdnCaption = "*IDN? = ";
inline const std::string RefLockCaption = ":SYSTem:REFLock? = ";

// Matches the harness's story at the end when the device was closed exactly
// once, whatever its handle.
inline constexpr const char* ClosedOnce = "closed=-?[0-9]+; lines=";

// What the panel shows once a phase is over.
struct Shown {
    std::string idn;
    std::string refLock;
    std::string messageBox; // the text of the last message box so far
    int16_t sendEnabled = 0;
    bool exchangeRunning = false;

    bool operator==(const Shown&) const = default;
};

// Runs the phases of a session on a harnessed panel and notes what it shows
// after each. Every message box is noted and acknowledged.
class PanelSession {
public:
    explicit PanelSession(PanelHarness& panel)
        : panel_(panel)
        , boxes_(acknowledgeEveryMessage([this](QMessageBox* box) { noteBox(box); }))
    {
    }

    void run()
    {
        for (Phase phase : SessionPhases)
            runPhase(phase);
    }

    void runPhase(Phase phase)
    {
        phase_ = phase;
        act(phase);
        shown_.push_back({ panel_.main.lblIDN->text().toStdString(), panel_.main.lblRefLock->text().toStdString(),
            lastBox_, panel_.main.SendEnabled, panel_.main.exchangeRunning() });
    }

    // The phase that runs now, or ran last.
    Phase phase() const { return phase_; }

    const std::vector<Shown>& shown() const { return shown_; }
    const Shown& after(Phase phase) const { return shown_.at(static_cast<std::size_t>(phase)); }

    void quit() { panel_.main.cmdQuit->click(); }

private:
    void act(Phase phase)
    {
        frmMain& main = panel_.main;
        switch (phase) {
        case Phase::StartUp: {
            // The instrument is the last device listed: the only one, or a
            // pseudo-terminal given after the system's own ports. Without a
            // device list the run ends before any chooser opens.
            const auto chooser = onEveryModal<frmSelect>([](frmSelect* chooser) {
                chooser->lstSelector->setCurrentRow(chooser->lstSelector->count() - 1);
                chooser->cmdSelect->click();
            });
            main.Form_Load();
            return;
        }
        case Phase::Reset:
            main.cmdRST->click();
            return;
        case Phase::ErrorQuery:
            main.cmdError->click();
            return;
        case Phase::UserStates: {
            const auto watch = whenModalOpens<frmSaveState>([](frmSaveState* window) {
                window->cmdSave->click();
                window->cmdRecall->click();
                window->cmdReturn->click();
            });
            main.cmdUserStates->click();
            return;
        }
        }
    }

    void noteBox(QMessageBox* box)
    {
        lastBox_ = box->text().toStdString();
    }

    PanelHarness& panel_;
    std::unique_ptr<QTimer> boxes_;
    Phase phase_ = Phase::StartUp;
    std::string lastBox_;
    std::vector<Shown> shown_;
};

} // namespace test_support
