#pragma once

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "Settings.h"
#include "SettingScrollBar.h"
#include "frmMain.h"
#include "frmSelect.h"
#include "InstrumentSession.h"
#include "CheckedBridge.h"
#include "ModalWindows.h"

namespace test_support {

// The main window over a given bridge library, watched by a CheckedBridge,
// with a clock that moves on by itself and an event pump into which a test
// can put operator actions: they then run at the panel's event points. The
// end of the program is noted rather than carried out. A link that is down
// is tried again only when the test says so, unless it gives an interval.
struct PanelHarness {
    explicit PanelHarness(usblink::BridgeLibrary& library, std::chrono::milliseconds reconnectInterval = {},
        std::chrono::milliseconds lockWatchInterval = {})
        : line(library)
        , reconnectInterval(reconnectInterval)
        , lockWatchInterval(lockWatchInterval)
    {
    }

    CheckedBridge line;
    std::chrono::milliseconds reconnectInterval;
    // The lock watch is off unless a test gives an interval on the session's clock.
    std::chrono::milliseconds lockWatchInterval;
    double now = 40000.0;
    std::function<void()> atEventPoint;
    std::optional<int> endStatus; // set when the panel ends the program
    std::string story; // the line's story at that moment, see storySoFar()
    // The session's clock, when a test sets one; the steady clock otherwise.
    usblink::FTDI_Driver::Clock sessionClock;
    session::InstrumentSession session { line, [this] { processEvents(); },
        [this] { return sessionClock ? sessionClock() : usblink::FTDI_Driver::steadyClock(); } };
    frmMain main { { &session, [this] { processEvents(); }, [this] { return now += 0.01; },
        [this](int status) { noteEnd(status); }, reconnectInterval, lockWatchInterval } };

    // The handles closed and the lines written: "closed=7; lines= |SYST:CLE|*IDN?".
    std::string storySoFar() const
    {
        std::string text = "closed=";
        for (usblink::DeviceHandle handle : line.closed)
            text += std::to_string(handle) + ";";
        text += " lines=";
        for (std::size_t i = 0; i < line.lines.size(); ++i)
            text += (i ? "|" : "") + line.lines[i];
        return text;
    }

    void noteEnd(int status)
    {
        endStatus = status;
        story = storySoFar();
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

    // Runs start-up, choosing the chooser's row with the given entry; false
    // (and the run ended) when no row has it.
    bool startUpOn(const std::string& entry)
    {
        bool offered = false;
        const auto watch = whenModalOpens<frmSelect>([&offered, text = QString::fromStdString(entry)](frmSelect* chooser) {
            const auto rows = chooser->lstSelector->findItems(text, Qt::MatchExactly);
            offered = !rows.isEmpty();
            if (!offered) {
                chooser->reject();
                return;
            }
            chooser->lstSelector->setCurrentItem(rows.first());
            chooser->cmdSelect->click();
        });
        main.Form_Load();
        return offered;
    }

    // Lines written since the given count.
    std::vector<std::string> linesSince(std::size_t count) const
    {
        return { line.lines.begin() + static_cast<std::ptrdiff_t>(count), line.lines.end() };
    }
};

// Every setting's query in the order of the read-back, then the reference lock.
inline const std::vector<std::string> ReadBackQueries = [] {
    std::vector<std::string> queries;
    for (const instrument::Setting& setting : instrument::Settings)
        queries.push_back(setting.query);
    queries.push_back(":SYST:REFL?");
    return queries;
}();

// What start-up writes: the blank line, the clearing and the identification,
// then the read-back.
inline const std::vector<std::string> StartUpLines = [] {
    std::vector<std::string> lines = { " ", "SYST:CLE", "*IDN?" };
    lines.insert(lines.end(), ReadBackQueries.begin(), ReadBackQueries.end());
    return lines;
}();

// What the panel shows for a setting: its slider's value or its button's state.
inline int shownValue(const frmMain& main, instrument::SettingId id)
{
    const panel::SettingScrollBar* slider = main.slider(id);
    return slider ? slider->setting() : main.state(id);
}

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
