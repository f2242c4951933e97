// The calibration against the simulated analyzer with its documented model:
// readings and time to null a carrier started 40 dB above the floor, the
// reading after which the carrier (noiseless, as the model has it) first
// stood within 1 dB of the floor (goal: at most 60), the carrier reached
// against the floor, and the image reached against the best the 1/8 dB step
// allows, relative to the wanted sideband. Each start has its own reading
// noise.

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

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

// One offset moved away from the unit's best pair, 40 dB above the floor;
// or, with no offset named, the unit as *RST leaves it, all offsets at 0.
struct Start {
    std::string name;
    const char* moved;
    int direction;
    std::string serial = sim::SimulatedBridge::SerialNumber;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    std::printf("%-8s %8s %8s %8s %8s %10s %10s %9s %9s %9s\n", "start", "carrier", "to_1dB", "image", "time_s",
        "carrier", "floor", "above_dB", "img_dBc", "best_dBc");
    int met = 0;
    std::vector<Start> starts { { "I above", ":MOD:IOFF ", 1 }, { "I below", ":MOD:IOFF ", -1 },
        { "Q above", ":MOD:QOFF ", 1 }, { "Q below", ":MOD:QOFF ", -1 } };
    for (int unit = 1; unit <= 8; ++unit)
        starts.push_back({ "*RST " + std::to_string(unit), nullptr, 0, "SIM0000" + std::to_string(unit) });
    uint64_t seed = 0;
    for (const Start& start : starts) {
        sim::SimulatedBridge bridge(start.serial);
        session::InstrumentSession session(bridge, [] { QCoreApplication::processEvents(); });
        session.listDevices();
        session.open(0);
        sim::SimulatedAnalyzer served(bridge.instrument(), { .model = { .noiseSeed = ++seed } });
        served.listen(QHostAddress::LocalHost);
        sim::AnalyzerModel& model = served.model();
        if (start.moved)
            startAbove(session, model, 40, start.moved, start.direction);
        analyzer::AnalyzerClient client;
        if (const std::string problem = client.open(*analyzer::Resource::parse(served.socketResource().toStdString()));
            !problem.empty()) {
            std::printf("%s: %s\n", start.name.c_str(), problem.c_str());
            return 1;
        }
        calibration::Request request;
        request.budget = 60;
        request.image = calibration::Probe { 2, std::nullopt };
        request.wanted = calibration::Probe { 3, std::nullopt };
        calibration::Calibration routine(session, client, request);
        int carrierReadings = 0, imageReadings = 0, toOneDb = 0;
        routine.setProgressObserver([&](const calibration::Progress& p) {
            carrierReadings += p.carrierDbm.has_value();
            imageReadings += p.imageDbm.has_value() || p.wantedDbm.has_value();
            if (p.carrierDbm && !toOneDb && model.levelDbm(model.carrierHz()) <= model.floorDbm() + 1.0)
                toOneDb = carrierReadings;
        });
        const calibration::Result result = routine.run();
        const double above = result.carrierDbm - model.floorDbm();
        met += toOneDb > 0 && toOneDb <= 60;
        std::printf("%-8s %8d %8d %8d %8.3f %10.2f %10.2f %9.2f %9.2f %9.2f\n", start.name.c_str(), carrierReadings, toOneDb,
            imageReadings, result.taken.count(), result.carrierDbm, model.floorDbm(), above,
            result.imageDbc().value_or(0), model.bestImageDbc());
    }
    std::printf("within 1 dB of the floor in at most 60 readings: %d of %zu (goal: all)\n", met, starts.size());
    std::printf("image readings include the wanted sideband's, read once at the end\n");
    return 0;
}
