// The calibration against the simulated analyzer with its documented model:
// readings and time to null a carrier started 40 dB above the floor, the
// carrier reached against the floor (goal: within 1 dB in at most 60
// readings), and the image reached against the best the 1/8 dB step allows.

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>

#include "AnalyzerClient.h"
#include "Calibration.h"
#include "SimulatedAnalyzer.h"
#include "SimulatedBridge.h"

namespace {

// Moves one offset of the best pair away, in the given direction, until
// the carrier stands aboveDb over the floor.
void startAbove(session::InstrumentSession& session, sim::AnalyzerModel& model, double aboveDb, const char* moved,
    int direction)
{
    const sim::OffsetPair best = model.bestOffsets(sim::OffsetStage::Modulator);
    session.send(":MOD:IOFF " + std::to_string(best.i));
    session.send(":MOD:QOFF " + std::to_string(best.q));
    const int32_t from = moved[5] == 'I' ? best.i : best.q;
    for (int32_t d = 1; std::abs(from + direction * d) < 32768; d += 1 + d / 16) {
        session.send(moved + std::to_string(from + direction * d));
        if (model.levelDbm(model.carrierHz()) >= model.floorDbm() + aboveDb)
            return;
    }
}

struct Start {
    const char* name;
    const char* moved;
    int direction;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    std::printf("%-10s %8s %8s %10s %10s %10s %10s %10s\n", "start", "readings", "time_s", "carrier", "floor",
        "above_dB", "image", "best_img");
    int met = 0;
    const Start starts[] = { { "I above", ":MOD:IOFF ", 1 }, { "I below", ":MOD:IOFF ", -1 },
        { "Q above", ":MOD:QOFF ", 1 }, { "Q below", ":MOD:QOFF ", -1 } };
    for (const Start& start : starts) {
        const char* serial = start.name;
        sim::SimulatedBridge bridge;
        session::InstrumentSession session(bridge, [] { QCoreApplication::processEvents(); });
        session.listDevices();
        session.open(0);
        sim::SimulatedAnalyzer served(bridge.instrument());
        served.listen(QHostAddress::LocalHost);
        startAbove(session, served.model(), 40, start.moved, start.direction);
        analyzer::AnalyzerClient client;
        if (const std::string problem = client.open(*analyzer::Resource::parse(served.socketResource().toStdString()));
            !problem.empty()) {
            std::printf("%s: %s\n", serial, problem.c_str());
            return 1;
        }
        calibration::Request request;
        request.budget = 60;
        request.image = calibration::Probe { 2, std::nullopt };
        calibration::Calibration routine(session, client, request);
        const calibration::Result result = routine.run();
        const int carrierReadings = result.readings;
        const double above = result.carrierDbm - served.model().floorDbm();
        met += above <= 1.0;
        std::printf("%-10s %8d %8.3f %10.2f %10.2f %10.2f %10.2f %10.2f\n", serial, carrierReadings, result.taken.count(),
            result.carrierDbm, served.model().floorDbm(), above, result.imageDbm.value_or(0), served.model().bestImageDbm());
    }
    std::printf("within 1 dB of the floor: %d of %zu (goal: all, readings of the carrier null at most 60)\n", met,
        std::size(starts));
    return 0;
}
