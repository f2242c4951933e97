#pragma once

#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "Dialect.h"
#include "Resource.h"
#include "Transport.h"

namespace analyzer {

// A reading or why there is none.
struct Reading {
    double dBm = 0;
    std::string problem;
};

// A spectrum analyzer on the LAN, spoken to in its dialect: identified,
// put to single sweeps while connected and back to its former sweep state
// at the end, read at a marker. Every call ends within the time-out.
class AnalyzerClient {
public:
    static constexpr std::chrono::milliseconds DefaultTimeout { 5000 };

    explicit AnalyzerClient(Dialect dialect = {}, std::chrono::milliseconds timeout = DefaultTimeout);
    ~AnalyzerClient();

    // Connects, identifies and prepares the analyzer; empty when done.
    std::string open(const Resource& resource);
    // One reading: the marker placed at hz when given, one sweep, the marker read.
    Reading read(int marker, std::optional<double> hz);
    // Puts the sweep state back as it was found; empty when done.
    std::string close();
    void abort();

    const std::string& identity() const { return identity_; }

private:
    LineResult ask(const std::string& query);
    std::string tell(const std::string& message);

    Dialect dialect_;
    std::chrono::milliseconds timeout_;
    std::unique_ptr<Transport> transport_;
    std::string identity_;
    std::string continuousState_;
};

} // namespace analyzer
