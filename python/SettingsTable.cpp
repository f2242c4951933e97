// Writes the Python driver from its template, with the settings table in
// place of the line @SETTINGS@, so that the driver's properties and ranges
// are the table's and cannot drift from it.
// Usage: r6140k_python_settings TEMPLATE OUTPUT

#include <cstdio>
#include <fstream>
#include <string>

#include "CommandSet.h"
#include "Settings.h"

namespace {

void writeTable(std::ostream& out)
{
    for (const instrument::Setting& setting : instrument::Settings) {
        const instrument::SettingRange range = instrument::rangeOf(setting.kind);
        out << "    (\"" << setting.mnemonic << "\", \"" << instrument::kindNameOf(setting.kind) << "\", \"" << setting.query
            << "\", \"" << setting.prefix << "%d\", " << range.min << ", " << range.max << "),\n";
    }
}

// The other messages and numbers the driver takes from the panel.
void writeConstants(std::ostream& out)
{
    namespace commands = instrument::commands;
    out << "DECIBELS_PER_STEP = " << instrument::DecibelsPerStep << "\n"
        << "DECIBEL_SUFFIX = \"" << instrument::DecibelSuffix << "\"\n"
        << "REFERENCE_LOCK_QUERY = \"" << commands::ReferenceLockQuery << "\"\n"
        << "RESET = \"" << commands::Reset << "\"\n"
        << "ERROR_QUERY = \"" << commands::ErrorQuery << "\"\n"
        << "STORE_STATE = \"" << commands::SaveStatePrefix << "%d\"\n"
        << "RECALL_STATE = \"" << commands::RecallStatePrefix << "%d\"\n"
        << "USER_STATES = range(" << commands::FirstUserState << ", " << commands::LastUserState + 1 << ")\n";
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s TEMPLATE OUTPUT\n", argv[0]);
        return 2;
    }
    std::ifstream in(argv[1]);
    std::ofstream out(argv[2]);
    for (std::string line; std::getline(in, line);) {
        if (line == "@SETTINGS@")
            writeTable(out);
        else if (line == "@CONSTANTS@")
            writeConstants(out);
        else
            out << line << '\n';
    }
    return in.eof() && out ? 0 : 1;
}
