#pragma once

#include <QListWidget>
#include <QPushButton>
#include <string>

#include "BenchReport.h"
#include "frmSelect.h"
#include "PanelHarness.h"

namespace bench {

// Widgets without a display, as in the tests, unless a platform is chosen.
inline void useOffscreenUnlessChosen()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

// Runs the panel's start-up headless, choosing the chooser's entry with the
// given text; a benchmark on any other device would measure the wrong line.
inline void startUpOn(test_support::PanelHarness& panel, const std::string& entry)
{
    const QString text = QString::fromStdString(entry);
    const auto watch = test_support::whenModalOpens<frmSelect>([text](frmSelect* chooser) {
        const auto rows = chooser->lstSelector->findItems(text, Qt::MatchExactly);
        if (rows.isEmpty())
            fail("the chooser does not offer " + text.toStdString());
        chooser->lstSelector->setCurrentItem(rows.first());
        chooser->cmdSelect->click();
    });
    panel.main.Form_Load();
}

} // namespace bench
