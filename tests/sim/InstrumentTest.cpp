#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Version.h"
#include "Settings.h"
#include "Instrument.h"

namespace {

using sim::Instrument;
using ::testing::ElementsAre;
using ::testing::Optional;

// The settings as the panel knows them.
struct ExpectedSetting {
    std::string shortForm;
    const char* longForm;
    int min;
    int max;
};

const std::vector<ExpectedSetting> ExpectedSettings = [] {
    std::vector<ExpectedSetting> settings;
    for (const instrument::Setting& setting : instrument::Settings) {
        const std::string query = setting.query;
        const instrument::SettingRange range = instrument::rangeOf(setting.kind);
        settings.push_back({ query.substr(0, query.size() - 1), setting.mnemonic, range.min, range.max });
    }
    return settings;
}();

std::string withValue(const std::string& header, int value)
{
    return std::string(header) + ' ' + std::to_string(value);
}

// Pops the whole error queue, oldest first.
std::vector<std::string> drainErrors(Instrument& instrument)
{
    std::vector<std::string> errors;
    while (instrument.errorCount() > 0)
        errors.push_back(instrument.handleLine("SYST:ERR?").value_or("<no reply>"));
    return errors;
}

TEST(SimInstrument, EverySettingStartsAtZeroAndTakesItsRangeEdges)
{
    Instrument instrument;
    for (const auto& setting : ExpectedSettings) {
        SCOPED_TRACE(setting.shortForm);
        EXPECT_EQ(instrument.handleLine(std::string(setting.shortForm) + "?"), "0");
        for (const int edge : { setting.min, setting.max }) {
            EXPECT_EQ(instrument.handleLine(withValue(setting.shortForm, edge)), std::nullopt);
            EXPECT_EQ(instrument.handleLine(std::string(setting.shortForm) + "?"), std::to_string(edge));
        }
    }
    EXPECT_EQ(instrument.errorCount(), 0u);
}

TEST(SimInstrument, ValuesJustBeyondTheRangeAreRejectedAndLeaveTheSettingAlone)
{
    Instrument instrument;
    for (const auto& setting : ExpectedSettings) {
        SCOPED_TRACE(setting.shortForm);
        instrument.handleLine(withValue(setting.shortForm, 1));
        EXPECT_EQ(instrument.handleLine(withValue(setting.shortForm, setting.min - 1)), std::nullopt);
        EXPECT_EQ(instrument.handleLine(withValue(setting.shortForm, setting.max + 1)), std::nullopt);
        EXPECT_THAT(instrument.value(setting.shortForm), Optional(1));
        EXPECT_THAT(drainErrors(instrument), ElementsAre("-222,\"Data out of range\"", "-222,\"Data out of range\""));
    }
}

TEST(SimInstrument, HugeNumbersAreOutOfRangeNotWrappedAround)
{
    Instrument instrument;
    instrument.handleLine(":BAS:IOFF 4294967296");
    instrument.handleLine(":BAS:IOFF -99999999999999999999999");
    EXPECT_THAT(instrument.value(":BAS:IOFF"), Optional(0));
    EXPECT_THAT(drainErrors(instrument), ElementsAre("-222,\"Data out of range\"", "-222,\"Data out of range\""));
}

TEST(SimInstrument, HeadersAcceptShortAndLongFormsInAnyCaseWithOrWithoutColon)
{
    Instrument instrument;
    for (const auto& setting : ExpectedSettings) {
        SCOPED_TRACE(setting.longForm);
        const std::string longForm = setting.longForm;
        std::string lowerLong = longForm;
        for (char& c : lowerLong)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        instrument.handleLine(":" + longForm + " 1");
        EXPECT_EQ(instrument.handleLine(lowerLong + "?"), "1");
        instrument.handleLine(setting.shortForm.substr(1) + " 0"); // no colon
        EXPECT_EQ(instrument.handleLine(longForm + "?"), "0");
    }
    instrument.handleLine("basEBAND:iofFSET 5");
    EXPECT_EQ(instrument.handleLine("bas:ioff?"), "5");
    EXPECT_EQ(instrument.handleLine("*idn?").value_or("").substr(0, 16), "R6140K Simulator");
    EXPECT_EQ(instrument.errorCount(), 0u);
}

TEST(SimInstrument, MnemonicsOtherThanTheShortOrLongFormAreUndefinedHeaders)
{
    Instrument instrument;
    for (const char* line : { "BASE:IOFF 5", "BASEBAN:IOFF 5", "BAS:IOF 5", "BASS:IOFF?", "BAS:IOFF:X?", "BAS::IOFF?",
             "IOFF?", "BAS?", "*IDN:X?", "FOO" }) {
        SCOPED_TRACE(line);
        EXPECT_EQ(instrument.handleLine(line), std::nullopt);
        EXPECT_THAT(drainErrors(instrument), ElementsAre("-113,\"Undefined header\""));
    }
    EXPECT_THAT(instrument.value(":BAS:IOFF"), Optional(0));
}

TEST(SimInstrument, CommandsUsedInTheWrongFormAreUndefinedHeaders)
{
    Instrument instrument;
    for (const char* line :
        { "*RST?", "*CLS?", "SYST:CLE?", "SYST:SAVE?", "SYST:REC?", "*IDN", "SYST:ERR", "SYST:REFL", "SYST:REFL 1" }) {
        SCOPED_TRACE(line);
        EXPECT_EQ(instrument.handleLine(line), std::nullopt);
        EXPECT_THAT(drainErrors(instrument), ElementsAre("-113,\"Undefined header\""));
    }
}

TEST(SimInstrument, MalformedArgumentsQueueTheirErrorWithoutReplyOrChange)
{
    struct Case {
        const char* line;
        const char* error;
    };
    const std::vector<Case> cases = {
        { ":BAS:IOFF", "-109,\"Missing parameter\"" },
        { ":BAS:IOFF   ", "-109,\"Missing parameter\"" },
        { "SYST:SAVE", "-109,\"Missing parameter\"" },
        { ":BAS:IOFF 1,2", "-108,\"Parameter not allowed\"" },
        { ":BAS:IOFF? 3", "-108,\"Parameter not allowed\"" },
        { "*RST 1", "-108,\"Parameter not allowed\"" },
        { "*IDN? x", "-108,\"Parameter not allowed\"" },
        { ":BAS:IOFF 1.5", "-104,\"Data type error\"" },
        { ":BAS:IOFF abc", "-104,\"Data type error\"" },
        { ":BAS:IOFF 0x10", "-104,\"Data type error\"" },
        { ":BAS:IOFF -", "-104,\"Data type error\"" },
        { ":BAS:IOFF 1 2", "-104,\"Data type error\"" },
    };
    Instrument instrument;
    instrument.handleLine(":BAS:IOFF 7");
    for (const auto& [line, error] : cases) {
        SCOPED_TRACE(line);
        EXPECT_EQ(instrument.handleLine(line), std::nullopt);
        EXPECT_THAT(drainErrors(instrument), ElementsAre(error));
    }
    EXPECT_THAT(instrument.value(":BAS:IOFF"), Optional(7));
}

TEST(SimInstrument, ArgumentsMayCarrySignAndSurroundingBlanks)
{
    Instrument instrument;
    instrument.handleLine(":BAS:IOFF \t +12  ");
    EXPECT_THAT(instrument.value("BASeband:IOFFset"), Optional(12));
    instrument.handleLine("  :MOD:QOFF   -120\t");
    EXPECT_EQ(instrument.handleLine(" :MOD:QOFF? "), "-120");
    EXPECT_EQ(instrument.errorCount(), 0u);
}

TEST(SimInstrument, BlankLinesAreIgnoredSilently)
{
    Instrument instrument;
    for (const char* line : { "", " ", "\t  \t" })
        EXPECT_EQ(instrument.handleLine(line), std::nullopt);
    EXPECT_EQ(instrument.errorCount(), 0u);
}

TEST(SimInstrument, ValueAccessorKnowsOnlySettings)
{
    Instrument instrument;
    instrument.handleLine(":MOD:IATT 40");
    EXPECT_THAT(instrument.value(":MOD:IATT"), Optional(40));
    EXPECT_THAT(instrument.value("modulator:iattenuator"), Optional(40));
    EXPECT_EQ(instrument.value(":SYST:REFL"), std::nullopt);
    EXPECT_EQ(instrument.value(":MOD"), std::nullopt);
}

TEST(SimInstrument, ResetRestoresDefaultsButKeepsUserStatesAndErrors)
{
    Instrument instrument;
    for (const auto& setting : ExpectedSettings)
        instrument.handleLine(withValue(setting.shortForm, setting.max));
    instrument.handleLine("SYST:SAVE 3");
    instrument.handleLine("BOGUS");
    instrument.handleLine("*RST");
    for (const auto& setting : ExpectedSettings)
        EXPECT_THAT(instrument.value(setting.shortForm), Optional(0)) << setting.shortForm;
    EXPECT_EQ(instrument.errorCount(), 1u);
    instrument.handleLine("SYST:REC 3");
    for (const auto& setting : ExpectedSettings)
        EXPECT_THAT(instrument.value(setting.shortForm), Optional(setting.max)) << setting.shortForm;
}

TEST(SimInstrument, ErrorQueueReportsOldestFirstThenNoError)
{
    Instrument instrument;
    instrument.handleLine("BOGUS");
    instrument.handleLine(":BAS:SWAP 2");
    instrument.handleLine(":BAS:SWAP");
    EXPECT_EQ(instrument.handleLine("SYST:ERR?"), "-113,\"Undefined header\"");
    EXPECT_EQ(instrument.handleLine("system:error:next?"), "-222,\"Data out of range\"");
    EXPECT_EQ(instrument.handleLine(":SYSTem:ERRor?"), "-109,\"Missing parameter\"");
    EXPECT_EQ(instrument.handleLine("SYST:ERR?"), "0,\"No error\"");
    EXPECT_EQ(instrument.handleLine("SYST:ERR:NEXT?"), "0,\"No error\"");
}

TEST(SimInstrument, ErrorQueueOverflowReplacesTheNewestEntry)
{
    Instrument instrument;
    instrument.handleLine(":BAS:SWAP 5");
    for (std::size_t i = 1; i < Instrument::ErrorQueueCapacity + 3; ++i)
        instrument.handleLine("BOGUS");
    ASSERT_EQ(instrument.errorCount(), Instrument::ErrorQueueCapacity);
    const auto errors = drainErrors(instrument);
    EXPECT_EQ(errors.front(), "-222,\"Data out of range\"");
    EXPECT_EQ(errors[errors.size() - 2], "-113,\"Undefined header\"");
    EXPECT_EQ(errors.back(), "-350,\"Queue overflow\"");
}

TEST(SimInstrument, ClearCommandsEmptyTheErrorQueue)
{
    for (const char* clear : { "*CLS", "SYST:CLE", ":system:clear" }) {
        SCOPED_TRACE(clear);
        Instrument instrument;
        instrument.handleLine("BOGUS");
        instrument.handleLine("BOGUS");
        EXPECT_EQ(instrument.handleLine(clear), std::nullopt);
        EXPECT_EQ(instrument.errorCount(), 0u);
        EXPECT_EQ(instrument.handleLine("SYST:ERR?"), "0,\"No error\"");
    }
}

TEST(SimInstrument, EachOfTheTenUserStatesKeepsItsOwnSettings)
{
    Instrument instrument;
    for (int state = 0; state < 10; ++state) {
        for (const auto& setting : ExpectedSettings)
            instrument.handleLine(withValue(setting.shortForm, (state + 1) % (setting.max + 1)));
        instrument.handleLine("SYST:SAVE " + std::to_string(state));
    }
    for (int state = 9; state >= 0; --state) {
        instrument.handleLine("SYSTem:RECall " + std::to_string(state));
        for (const auto& setting : ExpectedSettings)
            EXPECT_THAT(instrument.value(setting.shortForm), Optional((state + 1) % (setting.max + 1)))
                << setting.shortForm << " in state " << state;
    }
    EXPECT_EQ(instrument.errorCount(), 0u);
}

TEST(SimInstrument, UserStatesStartAtDefaultsAndOnlyZeroToNineExist)
{
    Instrument instrument;
    instrument.handleLine(":MOD:IATT 99");
    instrument.handleLine("SYST:REC 9");
    EXPECT_THAT(instrument.value(":MOD:IATT"), Optional(0));
    instrument.handleLine(":MOD:IATT 99");
    for (const char* line : { "SYST:SAVE 10", "SYST:SAVE -1", "SYST:REC 10", "SYST:REC -1" })
        instrument.handleLine(line);
    EXPECT_THAT(instrument.value(":MOD:IATT"), Optional(99));
    EXPECT_THAT(drainErrors(instrument),
        ElementsAre("-222,\"Data out of range\"", "-222,\"Data out of range\"", "-222,\"Data out of range\"",
            "-222,\"Data out of range\""));
}

TEST(SimInstrument, IdentityHasFourFieldsWithTheConfiguredSerial)
{
    EXPECT_EQ(Instrument().handleLine("*IDN?"), "R6140K Simulator,R6140K,SIM00001," + std::string(app::VersionText));
    EXPECT_EQ(Instrument("X-42").handleLine("*IDN?"), "R6140K Simulator,R6140K,X-42," + std::string(app::VersionText));
}

TEST(SimInstrument, ReferenceLockFollowsTheTestHook)
{
    Instrument instrument;
    EXPECT_EQ(instrument.handleLine("SYST:REFL?"), "1");
    instrument.setReferenceLocked(false);
    EXPECT_EQ(instrument.handleLine(":SYSTem:REFLock?"), "0");
    instrument.handleLine("*RST");
    EXPECT_EQ(instrument.handleLine("SYST:REFL?"), "0");
}

} // namespace
