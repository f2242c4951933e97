#include "AnalyzerCommands.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <utility>

#include "MessageSyntax.h"
#include "Version.h"

namespace sim {

using instrument::matchesHeader;
using instrument::trimBlanks;

// SCPI's error numbers, as the analyzer queues them.
namespace analyzer_errors {
constexpr int DataTypeError = -104;
constexpr int ParameterNotAllowed = -108;
constexpr int MissingParameter = -109;
constexpr int UndefinedHeader = -113;
constexpr int DataOutOfRange = -222;
constexpr int IllegalParameterValue = -224;
constexpr int QueueOverflow = -350;
} // namespace analyzer_errors

using namespace analyzer_errors;

struct AnalyzerCommands::Command {
    std::string_view header; // long form, without the marker's number
    bool numbered = false; // takes a marker number, 1 when none is given
    std::function<std::string(AnalyzerCommands&, std::size_t marker)> query = {};
    // The setting form; returns the error it causes, 0 for none.
    std::function<int(AnalyzerCommands&, std::size_t marker, std::string_view argument)> assign = {};
    bool takesArgument = false;
};

namespace {

std::string_view analyzerErrorText(int code)
{
    switch (code) {
    case 0:
        return "No error";
    case DataTypeError:
        return "Data type error";
    case ParameterNotAllowed:
        return "Parameter not allowed";
    case MissingParameter:
        return "Missing parameter";
    case UndefinedHeader:
        return "Undefined header";
    case DataOutOfRange:
        return "Data out of range";
    case IllegalParameterValue:
        return "Illegal parameter value";
    case QueueOverflow:
        return "Queue overflow";
    case AnalyzerCommands::InputBufferOverrun:
        return "Input buffer overrun";
    }
    return "Unknown error";
}

bool sameLetters(std::string_view a, std::string_view b)
{
    return std::ranges::equal(
        a, b, [](unsigned char x, unsigned char y) { return std::toupper(x) == std::toupper(y); });
}

// A header with the number a node ends in taken out ("CALC:MARK3:Y" gives
// "CALC:MARK:Y" and 3); nullopt for a header with two numbered nodes.
struct NumberedHeader {
    std::string path;
    std::optional<std::size_t> number;
};

std::optional<NumberedHeader> takeNumberOut(std::string_view header)
{
    NumberedHeader result;
    std::size_t start = 0;
    while (start <= header.size()) {
        const std::size_t end = std::min(header.find(':', start), header.size());
        std::string_view node = header.substr(start, end - start);
        const auto digits = node.find_last_not_of("0123456789") + 1;
        if (digits < node.size() && digits > 0) {
            if (result.number)
                return std::nullopt;
            std::size_t number = 0;
            std::from_chars(node.data() + digits, node.data() + node.size(), number);
            result.number = number;
            node = node.substr(0, digits);
        }
        result.path += std::string(node) + (end < header.size() ? ":" : "");
        start = end + 1;
    }
    return result;
}

// A frequency in Hz, with an optional unit: "1e9", "1000 MHz", "2.5GHZ".
std::optional<double> parseFrequency(std::string_view text)
{
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc {} || text.empty())
        return std::nullopt;
    const std::string_view unit = trimBlanks(text.substr(static_cast<std::size_t>(end - text.data())));
    constexpr std::pair<std::string_view, double> Units[]
        = { { "", 1 }, { "HZ", 1 }, { "KHZ", 1e3 }, { "MHZ", 1e6 }, { "GHZ", 1e9 } };
    for (const auto& [name, scale] : Units)
        if (sameLetters(unit, name))
            return value * scale;
    return std::nullopt;
}

std::string formatted(const char* format, double value)
{
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

} // namespace

std::chrono::milliseconds AnalyzerCommands::steadyClock()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch());
}

AnalyzerCommands::AnalyzerCommands(AnalyzerModel& model, std::chrono::milliseconds sweepTime, Clock clock)
    : model_(model)
    , sweepTime_(sweepTime)
    , clock_(std::move(clock))
{
    resetMarkers();
}

void AnalyzerCommands::resetMarkers()
{
    markerHz_ = { model_.carrierHz(), model_.imageHz(), model_.wantedHz(), model_.carrierHz() };
}

std::string AnalyzerCommands::identity() const
{
    return std::string(Maker) + ',' + std::string(Model) + ",SA-" + model_.instrumentSerialNumber() + ','
        + app::VersionText;
}

const std::vector<AnalyzerCommands::Command>& AnalyzerCommands::commands()
{
    static const std::vector<Command> table = [] {
        const auto setContinuous = [](AnalyzerCommands& self, std::size_t, std::string_view value) {
            if (sameLetters(value, "ON") || value == "1")
                self.continuous_ = true;
            else if (sameLetters(value, "OFF") || value == "0")
                self.continuous_ = false;
            else
                return IllegalParameterValue;
            return 0;
        };
        const auto startSweep = [](AnalyzerCommands& self, std::size_t, std::string_view) {
            self.sweepDone_ = self.clock_() + self.sweepTime_;
            return 0;
        };
        const auto setMarker = [](AnalyzerCommands& self, std::size_t marker, std::string_view value) {
            const auto hz = parseFrequency(value);
            if (!hz)
                return DataTypeError;
            if (!(*hz >= 0 && *hz <= MaxFrequencyHz))
                return DataOutOfRange;
            self.markerHz_[marker] = *hz;
            return 0;
        };
        const auto reset = [](AnalyzerCommands& self, std::size_t, std::string_view) {
            self.continuous_ = true;
            self.resetMarkers();
            return 0;
        };
        const auto clear = [](AnalyzerCommands& self, std::size_t, std::string_view) {
            self.errors_.clear();
            return 0;
        };
        const auto markerY = [](AnalyzerCommands& self, std::size_t marker) {
            const bool notANumber = self.faulty() && self.fault_.kind == AnalyzerFault::Kind::NotANumber;
            ++self.readings_;
            return notANumber ? std::string(NotANumberReply) : formatted("%.2f", self.model_.readDbm(self.markerHz_[marker]));
        };
        return std::vector<Command> {
            { .header = "*IDN", .query = [](AnalyzerCommands& self, std::size_t) { return self.identity(); } },
            { .header = "*OPC", .query = [](AnalyzerCommands&, std::size_t) { return std::string("1"); } },
            { .header = "*RST", .assign = reset },
            { .header = "*CLS", .assign = clear },
            { .header = "SYSTem:ERRor", .query = [](AnalyzerCommands& self, std::size_t) { return self.popError(); } },
            { .header = "SYSTem:ERRor:NEXT", .query = [](AnalyzerCommands& self, std::size_t) { return self.popError(); } },
            { .header = "INITiate:CONTinuous",
                .query = [](AnalyzerCommands& self, std::size_t) { return std::string(self.continuous_ ? "1" : "0"); },
                .assign = setContinuous,
                .takesArgument = true },
            { .header = "INITiate:IMMediate", .assign = startSweep },
            { .header = "INITiate", .assign = startSweep },
            { .header = "CALCulate:MARKer:X",
                .numbered = true,
                .query = [](AnalyzerCommands& self, std::size_t marker) { return formatted("%.15g", self.markerHz_[marker]); },
                .assign = setMarker,
                .takesArgument = true },
            { .header = "CALCulate:MARKer:Y", .numbered = true, .query = markerY },
        };
    }();
    return table;
}

bool AnalyzerCommands::faulty() const
{
    return fault_.kind != AnalyzerFault::Kind::None && readings_ >= fault_.afterReadings;
}

AnalyzerAnswer AnalyzerCommands::handleLine(std::string_view line)
{
    if (faulty() && fault_.kind == AnalyzerFault::Kind::Silent)
        return {};
    if (faulty() && fault_.kind == AnalyzerFault::Kind::HangUp)
        return { .hangUp = true };
    const bool garbage = faulty() && fault_.kind == AnalyzerFault::Kind::Garbage;
    AnalyzerAnswer answer { .due = clock_() };
    for (const std::string_view unit : instrument::splitUnits(line))
        if (const auto reply = handleUnit(unit, answer.due))
            answer.reply = answer.reply ? *answer.reply + ';' + *reply : *reply;
    if (answer.reply && garbage)
        answer.reply = GarbageReply;
    return answer;
}

std::optional<std::string> AnalyzerCommands::handleUnit(std::string_view unit, std::chrono::milliseconds& due)
{
    if (trimBlanks(unit).empty())
        return std::nullopt;
    const instrument::MessageParts message = instrument::splitMessage(unit);
    const auto header = takeNumberOut(message.header);
    if (!header)
        return fail(UndefinedHeader);
    const auto& table = commands();
    const auto command = std::ranges::find_if(table, [&header](const Command& candidate) {
        return (candidate.numbered || !header->number) && matchesHeader(header->path, candidate.header);
    });
    if (command == table.end())
        return fail(UndefinedHeader);
    const std::size_t number = header->number.value_or(1);
    if (command->numbered && (number < 1 || number > MarkerCount))
        return fail(UndefinedHeader);
    const std::size_t marker = command->numbered ? number - 1 : 0;
    if (message.isQuery) {
        if (!command->query)
            return fail(UndefinedHeader);
        if (!message.arguments.empty())
            return fail(ParameterNotAllowed);
        if (command->header == "*OPC")
            due = std::max(due, sweepDone_);
        return command->query(*this, marker);
    }
    if (!command->assign)
        return fail(UndefinedHeader);
    if (command->takesArgument && message.arguments.empty())
        return fail(MissingParameter);
    if (!command->takesArgument && !message.arguments.empty())
        return fail(ParameterNotAllowed);
    if (const int error = command->assign(*this, marker, message.arguments); error != 0)
        return fail(error);
    return std::nullopt;
}

std::optional<std::string> AnalyzerCommands::fail(int code)
{
    noteError(code);
    return std::nullopt;
}

// A full queue keeps its oldest entries; the newest becomes the overflow mark.
void AnalyzerCommands::noteError(int code)
{
    if (errors_.size() < ErrorQueueCapacity)
        errors_.push_back(code);
    else
        errors_.back() = QueueOverflow;
}

std::string AnalyzerCommands::popError()
{
    int code = 0;
    if (!errors_.empty()) {
        code = errors_.front();
        errors_.pop_front();
    }
    return std::to_string(code) + ",\"" + std::string(analyzerErrorText(code)) + '"';
}

} // namespace sim
