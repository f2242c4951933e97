#include "SimulatedAnalyzerService.h"

namespace app {

namespace {

// The one analyzer the running panel serves; the window asks for it later.
QString startedResource;

} // namespace

std::unique_ptr<sim::SimulatedAnalyzer> startSimulatedAnalyzer(const sim::Instrument& instrument, QString* why)
{
    auto analyzer = std::make_unique<sim::SimulatedAnalyzer>(instrument);
    if (!analyzer->listen(QHostAddress::LocalHost)) {
        *why = "The simulated analyzer cannot listen on loopback: " + analyzer->errorString();
        return nullptr;
    }
    startedResource = analyzer->socketResource();
    QObject::connect(analyzer.get(), &QObject::destroyed, [] { startedResource.clear(); });
    return analyzer;
}

QString simulatedAnalyzerResource()
{
    return startedResource;
}

} // namespace app
