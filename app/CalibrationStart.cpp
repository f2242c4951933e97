#include "CalibrationStart.h"

#include "AnalyzerClient.h"
#include "Calibration.h"
#include "ServiceBrowser.h"
#include "frmCalibrate.h"
#include "frmMain.h"

namespace app {

namespace {

// The routine with the analyzer it reads; the analyzer's sweep state goes
// back as it was found once the run has ended.
class AnalyzerCalibration : public panel::CalibrationRun {
public:
    AnalyzerCalibration(session::InstrumentSession& session, std::unique_ptr<analyzer::AnalyzerClient> client,
        const calibration::Request& request)
        : client_(std::move(client))
        , routine_(session, *client_, request)
    {
    }

    calibration::Result run(const std::function<void(const calibration::Progress&)>& progress) override
    {
        routine_.setProgressObserver(progress);
        calibration::Result result = routine_.run();
        if (std::string problem = client_->close(); !problem.empty() && result.problem.empty())
            result.problem = "the analyzer's sweep state was not put back: " + problem;
        return result;
    }

    void abort(calibration::OnAbort onAbort) override
    {
        routine_.setOnAbort(onAbort);
        routine_.abort();
    }

    std::vector<instrument::SettingId> claimed() const override { return routine_.claimed(); }

private:
    std::unique_ptr<analyzer::AnalyzerClient> client_;
    calibration::Calibration routine_;
};

} // namespace

panel::StartCalibration calibrationStart(session::InstrumentSession& session)
{
    return [&session](const std::string& text, const calibration::Request& request,
               std::string& problem) -> std::unique_ptr<panel::CalibrationRun> {
        const std::optional<analyzer::Resource> resource = analyzer::Resource::parse(text);
        if (!resource) {
            problem = "\"" + text + "\" is no analyzer resource: TCPIP::host::port::SOCKET or TCPIP::host::INSTR";
            return nullptr;
        }
        auto client = std::make_unique<analyzer::AnalyzerClient>();
        if (problem = client->open(*resource); !problem.empty())
            return nullptr;
        return std::make_unique<AnalyzerCalibration>(session, std::move(client), request);
    };
}

void offerCalibrateWindow(frmMain& window, const QString& simulatedAnalyzer)
{
    window.setCalibrateWindow([&window, simulatedAnalyzer, made = static_cast<frmCalibrate*>(nullptr)]() mutable {
        if (made)
            return made;
        made = new frmCalibrate(window, calibrationStart(window.session()), &window);
        if (!simulatedAnalyzer.isEmpty())
            made->offerResource(simulatedAnalyzer, true);
        auto* browser = new remote::ServiceBrowser({ "_scpi-raw._tcp", "_vxi-11._tcp" }, made);
        QObject::connect(browser, &remote::ServiceBrowser::found, made,
            [made](const QString& resource) { made->offerResource(resource); });
        return made;
    });
}

} // namespace app
