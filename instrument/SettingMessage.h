#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "Settings.h"

// One unit of a message read as the panel checks a setting before it sends
// it: a header of the settings table with a whole number in the setting's
// range, in the instrument's own unit.
namespace instrument {

struct SettingMessage {
    const Setting* setting = nullptr; // none when the header is not one of the table's
    int32_t value = 0;
    std::string problem; // why the value may not be sent; empty when it may
};

// Reads one unit that is not a query. An attenuator given a fraction is
// refused with the steps it would be ("5.125 dB would be 41 steps").
SettingMessage readSettingMessage(std::string_view unit);

// Decibels as ctl, the driver and the traffic log write them: "5.125", "0".
std::string decibelText(int32_t steps);

// What a setting holds, under each of its names: "MODulator:IATTenuator 41,
// MODulator:IATTenuator_dB 5.125"; an offset or switch has one name.
std::string namedValues(const Setting& setting, int32_t value);

} // namespace instrument
