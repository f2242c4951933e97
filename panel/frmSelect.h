#pragma once

#include <array>
#include <cstdint>

#include "FTDI_Driver.h"
#include "PanelDialog.h"

class QLabel;
class QListWidget;
class QPushButton;

// The device chooser, shown once during start-up. It offers the listed
// devices that look like the instrument; once accepted, chosenDevice() is
// the device index of the chosen row.
class frmSelect : public panel::PanelDialog {
    Q_OBJECT
public:
    static constexpr int Rows = static_cast<int>(usblink::FTDI_Driver::MaxDevices);

    frmSelect(const usblink::DeviceList& devices, QWidget* parent);

    // Fills the list with the matching devices. When there is nothing to
    // choose it tells the operator and returns false: the run ends then.
    bool Form_Load();

    // Which device index each row of the list stands for.
    std::array<int16_t, Rows> ListToDevice {};

    QLabel* Label1;
    QListWidget* lstSelector;
    QPushButton* cmdSelect;

    int16_t chosenDevice() const { return chosen_; }

private:
    void cmdSelect_Click();

    const usblink::DeviceList& devices_;
    int16_t chosen_ = 0;
};
