#include "AnalyzerClient.h"

#include <QString>
#include <cmath>

#include "SocketTransport.h"
#include "Vxi11Transport.h"

namespace analyzer {

namespace {

std::string hzText(double hz)
{
    return QString::number(hz, 'f', hz == std::floor(hz) ? 0 : 3).toStdString();
}

std::unique_ptr<Transport> transportFor(const Resource& resource)
{
    if (resource.kind == Resource::Kind::Vxi11)
        return std::make_unique<Vxi11Transport>(resource.host, resource.device);
    return std::make_unique<SocketTransport>(resource.host, resource.port);
}

} // namespace

AnalyzerClient::AnalyzerClient(Dialect dialect, std::chrono::milliseconds timeout)
    : dialect_(std::move(dialect))
    , timeout_(timeout)
{
}

AnalyzerClient::~AnalyzerClient() = default;

LineResult AnalyzerClient::ask(const std::string& query)
{
    if (const std::string problem = transport_->writeLine(query, timeout_); !problem.empty())
        return { {}, problem };
    LineResult reply = transport_->readLine(timeout_);
    if (!reply.problem.empty())
        reply.problem = query + ": " + reply.problem;
    return reply;
}

std::string AnalyzerClient::tell(const std::string& message)
{
    return message.empty() ? std::string() : transport_->writeLine(message, timeout_);
}

std::string AnalyzerClient::open(const Resource& resource)
{
    transport_ = transportFor(resource);
    if (std::string problem = transport_->connect(timeout_); !problem.empty())
        return problem;
    const LineResult identity = ask(dialect_.identify);
    if (!identity.problem.empty())
        return identity.problem;
    identity_ = identity.text;
    const LineResult state = ask(dialect_.continuousQuery);
    if (!state.problem.empty())
        return state.problem;
    continuousState_ = state.text;
    if (std::string problem = tell(dialect_.single); !problem.empty())
        return problem;
    for (const std::string& message : dialect_.setup)
        if (std::string problem = tell(message); !problem.empty())
            return problem;
    return {};
}

Reading AnalyzerClient::read(int marker, std::optional<double> hz)
{
    const std::map<std::string, std::string> fields { { "n", std::to_string(marker) },
        { "hz", hz ? hzText(*hz) : "" } };
    if (hz)
        if (std::string problem = tell(filled(dialect_.markerX, fields)); !problem.empty())
            return { 0, problem };
    if (const LineResult done = ask(dialect_.sweep); !done.problem.empty())
        return { 0, done.problem };
    const std::string query = filled(dialect_.markerY, fields);
    const LineResult level = ask(query);
    if (!level.problem.empty())
        return { 0, level.problem };
    bool isNumber = false;
    const double dBm = QString::fromStdString(level.text).trimmed().toDouble(&isNumber);
    if (!isNumber || !std::isfinite(dBm))
        return { 0, query + ": \"" + level.text.substr(0, 80) + "\" is no level in dBm" };
    // SCPI answers 9.91E37 for not a number and ±9.9E37 for infinity: a
    // marker that is off, or off the screen, is no reading.
    if (std::abs(dBm) >= 9.9e37)
        return { 0, query + ": \"" + level.text.substr(0, 80)
                + "\" is not a number: is the marker on, and its frequency on the screen?" };
    return { dBm, {} };
}

std::string AnalyzerClient::close()
{
    if (!transport_ || continuousState_.empty())
        return {};
    return tell(filled(dialect_.continuousSet, { { "state", continuousState_ } }));
}

void AnalyzerClient::abort()
{
    if (transport_)
        transport_->abortWait();
}

} // namespace analyzer
