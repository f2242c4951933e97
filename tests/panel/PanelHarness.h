#pragma once

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <cstdio>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

#include "link/FTDI_Driver.h"
#include "panel/SettingScrollBar.h"
#include "panel/frmMain.h"
#include "panel/frmSelect.h"
#include "tests/support/CheckedBridge.h"
#include "tests/support/ModalWindows.h"

namespace test_support {

// The main window over a given bridge library, watched by a CheckedBridge,
// with a clock that moves on by itself and an event pump into which a test
// can put operator actions: they then run at the panel's event points.
struct PanelHarness {
    explicit PanelHarness(usblink::BridgeLibrary& library)
        : line(library)
    {
    }

    CheckedBridge line;
    double now = 40000.0;
    std::function<void()> atEventPoint;
    usblink::FTDI_Driver driver { line, [this] { processEvents(); } };
    frmMain main { { &driver, [this] { processEvents(); }, [this] { return now += 0.01; },
        [this](int) { endOfProgram(); } } };

    // At the end of the program, before the process goes, the line's story
    // is printed for a death test to match: "closed=7 lines= |SYST:CLE|*IDN?".
    // After a failed check the process ends failing, whatever status the
    // panel chose: closing a window because of the failure may end the run.
    void endOfProgram() const
    {
        std::string story = "closed=";
        for (usblink::DeviceHandle handle : line.closed)
            story += std::to_string(handle) + ";";
        story += " lines=";
        for (std::size_t i = 0; i < line.lines.size(); ++i)
            story += (i ? "|" : "") + line.lines[i];
        std::fprintf(stderr, "%s\n", story.c_str());
        if (testing::Test::HasFailure()) {
            std::fflush(nullptr);
            std::_Exit(1);
        }
    }

    void processEvents()
    {
        if (atEventPoint)
            atEventPoint();
        QCoreApplication::processEvents();
    }

    // Runs start-up, choosing the given row of the chooser.
    void startUp(int row = 0)
    {
        const auto watch = whenModalOpens<frmSelect>([row](frmSelect* chooser) {
            chooser->lstSelector->setCurrentRow(row);
            chooser->cmdSelect->click();
        });
        main.Form_Load();
    }

    // Lines written since the given count.
    std::vector<std::string> linesSince(std::size_t count) const
    {
        return { line.lines.begin() + static_cast<std::ptrdiff_t>(count), line.lines.end() };
    }
};

inline const std::vector<std::string> ReadBackQueries = {
    ":BAS:SWAP?",
    ":BAS:ZINP?",
    ":BAS:IOFF?",
    ":BAS:QOFF?",
    ":MOD:ZINP?",
    ":MOD:IATT?",
    ":MOD:QATT?",
    ":MOD:IINP?",
    ":MOD:QINP?",
    ":MOD:IOFF?",
    ":MOD:QOFF?",
    ":SYST:REFL?",
};

// The controls of the main window, each with the header of its setting.
struct SliderOracle {
    panel::SettingScrollBar* frmMain::*bar;
    const char* header;
};
struct ToggleOracle {
    QPushButton* frmMain::*button;
    int16_t frmMain::*state;
    const char* header;
};

inline const SliderOracle SliderOracles[] = {
    { &frmMain::scrBB_I_Off, ":BAS:IOFF" },
    { &frmMain::scrBB_Q_Off, ":BAS:QOFF" },
    { &frmMain::scrMod_I_Off, ":MOD:IINP" },
    { &frmMain::scrMod_Q_Off, ":MOD:QINP" },
    { &frmMain::scrIAtt, ":MOD:IATT" },
    { &frmMain::scrQAtt, ":MOD:QATT" },
    { &frmMain::scrIMod, ":MOD:IOFF" },
    { &frmMain::scrQMod, ":MOD:QOFF" },
};
inline const ToggleOracle ToggleOracles[] = {
    { &frmMain::cmdBB_Swap, &frmMain::BasebandSwapState, ":BAS:SWAP" },
    { &frmMain::cmdBB_ZIN, &frmMain::BasebandZinState, ":BAS:ZINP" },
    { &frmMain::cmdMod_ZIN, &frmMain::ModulatorZinState, ":MOD:ZINP" },
};

// Space, and the two keys that must do on a focused button just what it does.
inline constexpr Qt::Key ButtonKeys[] = { Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter };

// The names of the controls of a window that Tab visits, in focus order.
inline std::vector<std::string> tabStops(QWidget* window)
{
    std::vector<std::string> names;
    for (QWidget* w = window->nextInFocusChain(); w != window; w = w->nextInFocusChain())
        if ((w->focusPolicy() & Qt::TabFocus) && w->window() == window && w->isVisibleTo(window))
            names.push_back(w->objectName().toStdString());
    return names;
}

} // namespace test_support
