#pragma once

#include <array>
#include <cstddef>
#include <cmath>
#include <cstdint>

// The instrument's adjustable settings, one row each. Everything that knows
// a setting (the messages, the simulated instrument, the read-back, the
// panel's controls) takes it from this table.
namespace instrument {

// How a setting's value is carried.
enum class SettingKind {
    TwoState, // the instrument's 0 or 1
    Offset, // a signed 16-bit count
    Attenuator, // steps of 1/8 dB
};

// A kind's name where the table is told to others (the Python driver, the
// browser's panel).
constexpr const char* kindNameOf(SettingKind kind)
{
    switch (kind) {
    case SettingKind::TwoState:
        return "two-state";
    case SettingKind::Offset:
        return "offset";
    case SettingKind::Attenuator:
        return "attenuator";
    }
    return "";
}

// What one step of an attenuator is worth.
inline constexpr double DecibelsPerStep = 0.125;

// A setting's mnemonic always names the instrument's own integer (counts,
// 0 or 1, attenuator steps); an attenuator's decibels go under the mnemonic
// with this suffix ("MODulator:IATTenuator_dB"), so no name carries two units.
inline constexpr const char* DecibelSuffix = "_dB";

constexpr double decibelsOf(int32_t steps)
{
    return steps * DecibelsPerStep;
}

// The nearest step, halves away from zero as the panel rounds (0.0625 dB is
// one step); a value too large for any step count saturates.
inline int64_t stepsOf(double decibels)
{
    constexpr double Saturation = 1e15;
    const double steps = decibels / DecibelsPerStep;
    if (std::isnan(steps))
        return 0;
    return std::llround(std::fmax(-Saturation, std::fmin(Saturation, steps)));
}

struct SettingRange {
    int32_t min;
    int32_t max;
};

constexpr SettingRange rangeOf(SettingKind kind)
{
    switch (kind) {
    case SettingKind::TwoState:
        return { 0, 1 };
    case SettingKind::Offset:
        return { -32768, 32767 };
    case SettingKind::Attenuator:
        return { 0, 127 };
    }
    return { 0, 0 };
}

// A setting's name; its value is the setting's place in the read-back order,
// which is also its row in Settings.
enum class SettingId : std::size_t {
    BasebandSwap,
    BasebandZin,
    BasebandIOffset,
    BasebandQOffset,
    ModulatorZin,
    ModulatorIAttenuator,
    ModulatorQAttenuator,
    ModulatorIInputOffset,
    ModulatorQInputOffset,
    ModulatorIOffset,
    ModulatorQOffset,
};

struct Setting {
    SettingId id;
    SettingKind kind;
    const char* query; // answered by one line holding the value
    const char* prefix; // the setting message up to its argument, ending in the blank before it
    const char* mnemonic; // the long form; its capitals make the short form of query and prefix
};

inline constexpr auto Settings = std::to_array<Setting>({
    { SettingId::BasebandSwap, SettingKind::TwoState, ":BAS:SWAP?", ":BAS:SWAP ", "BASeband:SWAP" },
    { SettingId::BasebandZin, SettingKind::TwoState, ":BAS:ZINP?", ":BAS:ZINP ", "BASeband:ZINPut" },
    { SettingId::BasebandIOffset, SettingKind::Offset, ":BAS:IOFF?", ":BAS:IOFF ", "BASeband:IOFFset" },
    { SettingId::BasebandQOffset, SettingKind::Offset, ":BAS:QOFF?", ":BAS:QOFF ", "BASeband:QOFFset" },
    { SettingId::ModulatorZin, SettingKind::TwoState, ":MOD:ZINP?", ":MOD:ZINP ", "MODulator:ZINPut" },
    { SettingId::ModulatorIAttenuator, SettingKind::Attenuator, ":MOD:IATT?", ":MOD:IATT ", "MODulator:IATTenuator" },
    { SettingId::ModulatorQAttenuator, SettingKind::Attenuator, ":MOD:QATT?", ":MOD:QATT ", "MODulator:QATTenuator" },
    { SettingId::ModulatorIInputOffset, SettingKind::Offset, ":MOD:IINP?", ":MOD:IINP ", "MODulator:IINPut" },
    { SettingId::ModulatorQInputOffset, SettingKind::Offset, ":MOD:QINP?", ":MOD:QINP ", "MODulator:QINPut" },
    { SettingId::ModulatorIOffset, SettingKind::Offset, ":MOD:IOFF?", ":MOD:IOFF ", "MODulator:IOFFset" },
    { SettingId::ModulatorQOffset, SettingKind::Offset, ":MOD:QOFF?", ":MOD:QOFF ", "MODulator:QOFFset" },
});

inline constexpr std::size_t SettingCount = Settings.size();

constexpr std::size_t indexOf(SettingId id)
{
    return static_cast<std::size_t>(id);
}

constexpr const Setting& settingOf(SettingId id)
{
    return Settings[indexOf(id)];
}

constexpr bool rowsFollowTheirIds()
{
    for (std::size_t i = 0; i < Settings.size(); ++i)
        if (indexOf(Settings[i].id) != i)
            return false;
    return true;
}
static_assert(rowsFollowTheirIds(), "each setting's row is its place in the read-back order");

} // namespace instrument
