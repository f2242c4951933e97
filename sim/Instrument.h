#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Settings.h"

namespace sim {

// Error numbers the instrument queues, as SCPI defines them.
enum class ErrorCode : int {
    NoError = 0,
    DataTypeError = -104,
    ParameterNotAllowed = -108,
    MissingParameter = -109,
    UndefinedHeader = -113,
    DataOutOfRange = -222,
    QueueOverflow = -350,
    InputBufferOverrun = -363,
};

// The R6140K's command interpreter and state, free of any transport: lines
// (or raw bytes) go in, reply texts come out.
class Instrument {
public:
    static constexpr std::size_t UserStateCount = 10;
    static constexpr std::size_t ErrorQueueCapacity = 10;
    static constexpr std::size_t MaxLineLength = 4096;
    static constexpr std::string_view Maker = "R6140K Simulator";
    static constexpr std::string_view Model = "R6140K";
    static constexpr std::string_view DefaultSerialNumber = "SIM00001";

    using LineObserver = std::function<void(std::string_view line)>;

    explicit Instrument(std::string serialNumber = std::string(DefaultSerialNumber));

    // Interprets one line given without its terminator, unit by unit.
    // Returns the reply without terminator, or nullopt for lines that are
    // not answered.
    std::optional<std::string> handleLine(std::string_view line);

    // Takes bytes as they come off the line, split or joined anyhow, and
    // returns the replies to send back, each ending in CR LF.
    std::string receive(std::string_view bytes);

    // The current value of the setting a header names in any accepted form
    // (short or long form, any case); nullopt if it names no setting.
    std::optional<int32_t> value(std::string_view header) const;

    const std::string& serialNumber() const { return serialNumber_; }
    void setReferenceLocked(bool locked) { referenceLocked_ = locked; }
    std::size_t errorCount() const { return errors_.size(); }

    // Called with every line received, before it is interpreted.
    void setLineObserver(LineObserver observer) { observer_ = std::move(observer); }

private:
    struct Command;
    // Every setting starts at 0, and *RST puts it back there.
    using Values = std::array<int32_t, instrument::SettingCount>;

    static const std::vector<Command>& commands();
    static const Command* findCommand(std::string_view header);

    std::optional<std::string> handleUnit(std::string_view unit);
    std::optional<std::string> execute(const Command& command, bool isQuery, std::string_view arguments);
    std::optional<std::string> fail(ErrorCode code);
    void pushError(ErrorCode code);
    std::string popError();
    void appendToPartialLine(std::string_view bytes);

    std::string serialNumber_;
    Values values_ {};
    std::array<Values, UserStateCount> userStates_ {};
    std::deque<ErrorCode> errors_;
    bool referenceLocked_ = true;
    LineObserver observer_;
    std::string partialLine_;
    bool discardingLine_ = false;
};

} // namespace sim
