#include "Instrument.h"

#include <algorithm>
#include <cctype>
#include <utility>

#include "MessageSyntax.h"
#include "Version.h"

namespace sim {

using instrument::matchesHeader;
using instrument::trimBlanks;

struct Instrument::Command {
    std::string_view header; // long form
    std::function<std::string(Instrument&)> query = {}; // empty: no query form
    std::function<void(Instrument&)> action = {}; // setting form without argument
    std::function<void(Instrument&, int32_t)> assign = {}; // setting form with one integer
    int32_t min = 0;
    int32_t max = 0;
};

namespace {

std::vector<std::string_view> splitArguments(std::string_view text)
{
    std::vector<std::string_view> arguments;
    if (text.empty())
        return arguments;
    while (true) {
        const auto comma = text.find(',');
        arguments.push_back(trimBlanks(text.substr(0, comma)));
        if (comma == std::string_view::npos)
            return arguments;
        text.remove_prefix(comma + 1);
    }
}

// A decimal integer with optional sign. Magnitudes beyond any setting's
// range saturate rather than overflow, so they still read as out of range.
std::optional<int64_t> parseInteger(std::string_view text)
{
    const bool negative = text.starts_with('-');
    if (negative || text.starts_with('+'))
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    constexpr int64_t Saturation = int64_t { 1 } << 40;
    int64_t magnitude = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        magnitude = std::min(magnitude * 10 + (c - '0'), Saturation);
    }
    return negative ? -magnitude : magnitude;
}

std::string_view errorText(ErrorCode code)
{
    switch (code) {
    case ErrorCode::NoError:
        return "No error";
    case ErrorCode::DataTypeError:
        return "Data type error";
    case ErrorCode::ParameterNotAllowed:
        return "Parameter not allowed";
    case ErrorCode::MissingParameter:
        return "Missing parameter";
    case ErrorCode::UndefinedHeader:
        return "Undefined header";
    case ErrorCode::DataOutOfRange:
        return "Data out of range";
    case ErrorCode::QueueOverflow:
        return "Queue overflow";
    case ErrorCode::InputBufferOverrun:
        return "Input buffer overrun";
    }
    return "Unknown error";
}

} // namespace

Instrument::Instrument(std::string serialNumber)
    : serialNumber_(std::move(serialNumber))
{
}

const std::vector<Instrument::Command>& Instrument::commands()
{
    static const std::vector<Command> table = [] {
        std::vector<Command> result;
        for (const instrument::Setting& setting : instrument::Settings) {
            const std::size_t i = instrument::indexOf(setting.id);
            const instrument::SettingRange range = instrument::rangeOf(setting.kind);
            result.push_back({ .header = setting.mnemonic,
                .query = [i](const Instrument& self) { return std::to_string(self.values_[i]); },
                .assign = [i](Instrument& self, int32_t value) { self.values_[i] = value; },
                .min = range.min,
                .max = range.max });
        }
        const auto identity = [](const Instrument& self) {
            return std::string(Maker) + ',' + std::string(Model) + ',' + self.serialNumber_ + ',' + app::VersionText;
        };
        const auto reset = [](Instrument& self) { self.values_ = {}; };
        const auto popError = [](Instrument& self) { return self.popError(); };
        const auto clearErrors = [](Instrument& self) { self.errors_.clear(); };
        const auto referenceLock
            = [](const Instrument& self) { return std::string(self.referenceLocked_ ? "1" : "0"); };
        const auto save = [](Instrument& self, int32_t n) { self.userStates_[n] = self.values_; };
        const auto recall = [](Instrument& self, int32_t n) { self.values_ = self.userStates_[n]; };
        constexpr auto LastState = static_cast<int32_t>(UserStateCount - 1);
        result.push_back({ .header = "*IDN", .query = identity });
        result.push_back({ .header = "*RST", .action = reset });
        result.push_back({ .header = "*CLS", .action = clearErrors });
        result.push_back({ .header = "SYSTem:CLEar", .action = clearErrors });
        result.push_back({ .header = "SYSTem:ERRor", .query = popError });
        result.push_back({ .header = "SYSTem:ERRor:NEXT", .query = popError });
        result.push_back({ .header = "SYSTem:REFLock", .query = referenceLock });
        result.push_back({ .header = "SYSTem:SAVE", .assign = save, .max = LastState });
        result.push_back({ .header = "SYSTem:RECall", .assign = recall, .max = LastState });
        return result;
    }();
    return table;
}

const Instrument::Command* Instrument::findCommand(std::string_view header)
{
    const auto& table = commands();
    const auto it = std::ranges::find_if(
        table, [header](const Command& command) { return matchesHeader(header, command.header); });
    return it == table.end() ? nullptr : &*it;
}

// The replies to the queries among a line's units are joined by ';', as
// SCPI answers a compound query.
std::optional<std::string> Instrument::handleLine(std::string_view line)
{
    if (observer_)
        observer_(line);
    std::optional<std::string> replies;
    for (const std::string_view unit : instrument::splitUnits(line))
        if (const auto reply = handleUnit(unit))
            replies = replies ? *replies + ';' + *reply : *reply;
    return replies;
}

std::optional<std::string> Instrument::handleUnit(std::string_view unit)
{
    if (trimBlanks(unit).empty())
        return std::nullopt;
    const instrument::MessageParts message = instrument::splitMessage(unit);
    const Command* command = findCommand(message.header);
    if (!command)
        return fail(ErrorCode::UndefinedHeader);
    return execute(*command, message.isQuery, message.arguments);
}

std::optional<std::string> Instrument::execute(const Command& command, bool isQuery, std::string_view arguments)
{
    if (isQuery) {
        if (!command.query)
            return fail(ErrorCode::UndefinedHeader);
        if (!arguments.empty())
            return fail(ErrorCode::ParameterNotAllowed);
        return command.query(*this);
    }
    if (command.action) {
        if (!arguments.empty())
            return fail(ErrorCode::ParameterNotAllowed);
        command.action(*this);
        return std::nullopt;
    }
    if (!command.assign)
        return fail(ErrorCode::UndefinedHeader);
    const auto parts = splitArguments(arguments);
    if (parts.empty())
        return fail(ErrorCode::MissingParameter);
    if (parts.size() > 1)
        return fail(ErrorCode::ParameterNotAllowed);
    const auto number = parseInteger(parts.front());
    if (!number)
        return fail(ErrorCode::DataTypeError);
    if (*number < command.min || *number > command.max)
        return fail(ErrorCode::DataOutOfRange);
    command.assign(*this, static_cast<int32_t>(*number));
    return std::nullopt;
}

std::optional<std::string> Instrument::fail(ErrorCode code)
{
    pushError(code);
    return std::nullopt;
}

// A full queue keeps its oldest entries; the newest becomes the overflow mark.
void Instrument::pushError(ErrorCode code)
{
    if (errors_.size() < ErrorQueueCapacity)
        errors_.push_back(code);
    else
        errors_.back() = ErrorCode::QueueOverflow;
}

std::string Instrument::popError()
{
    ErrorCode code = ErrorCode::NoError;
    if (!errors_.empty()) {
        code = errors_.front();
        errors_.pop_front();
    }
    return std::to_string(static_cast<int>(code)) + ",\"" + std::string(errorText(code)) + '"';
}

std::optional<int32_t> Instrument::value(std::string_view header) const
{
    for (const instrument::Setting& setting : instrument::Settings)
        if (matchesHeader(header, setting.mnemonic))
            return values_[instrument::indexOf(setting.id)];
    return std::nullopt;
}

std::string Instrument::receive(std::string_view bytes)
{
    std::string replies;
    while (!bytes.empty()) {
        const auto lineEnd = bytes.find('\n');
        appendToPartialLine(bytes.substr(0, lineEnd));
        if (lineEnd == std::string_view::npos)
            break;
        bytes.remove_prefix(lineEnd + 1);
        if (std::exchange(discardingLine_, false))
            continue; // the end of an over-long line, already reported
        std::string line = std::exchange(partialLine_, {});
        if (line.ends_with('\r'))
            line.pop_back();
        if (const auto reply = handleLine(line))
            replies += *reply + "\r\n";
    }
    return replies;
}

// An over-long line is dropped up to its terminator, so a sender that never
// ends its line cannot make the buffer grow without bound.
void Instrument::appendToPartialLine(std::string_view bytes)
{
    if (discardingLine_)
        return;
    if (partialLine_.size() + bytes.size() > MaxLineLength) {
        partialLine_.clear();
        discardingLine_ = true;
        pushError(ErrorCode::InputBufferOverrun);
        return;
    }
    partialLine_ += bytes;
}

} // namespace sim
