#pragma once

#include "panel/PanelDialog.h"
#include <array>
#include <cstdint>

class QLabel;
class QListWidget;
class QPushButton;
class frmMain;

// The device chooser, shown once during start-up. It offers the listed
// devices that look like the instrument and writes the choice into the main
// window's Selection.
class frmSelect : public panel::PanelDialog {
    Q_OBJECT
public:
    static constexpr int Rows = 101;

    explicit frmSelect(frmMain& main);

    // Fills the list with the matching devices. When there is nothing to
    // choose it tells the operator and returns false: the run ends then.
    bool Form_Load();

    // Which device index each row of the list stands for.
    std::array<int16_t, Rows> ListToDevice {};

    QLabel* Label1;
    QListWidget* lstSelector;
    QPushButton* cmdSelect;

    static bool offered(const std::string& entry);

private:
    void cmdSelect_Click();

    frmMain& main_;
};
