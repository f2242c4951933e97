// Every call the panel makes to the bridge library in a whole session
// (start-up with its read-back, reset, error query, user states and Quit)
// fails in turn, one case each. A fault-free run of the same session, made
// when the test program starts, lists the calls, so the cases follow the
// session as it is. A failed call must show where its reply was due, leave
// the panel ready for the operator, and Quit must still close the device once.

#include <QApplication>
#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <vector>

#include "SimulatedBridge.h"
#include "FaultInjectingBridge.h"
#include "PanelSession.h"
#include "WidgetTestRun.h"

using namespace test_support;
using usblink::FTDI_Driver;

namespace {

// One call of the session as the fault-free run made it.
struct Call {
    std::size_t number = 0; // from 1
    std::string name;
    Phase phase = Phase::StartUp;
    std::string awaited; // the last line written before the call
    bool atQuit = false;
};

// Statuses other than FT_OK and FT_IO_ERROR (which, with no byte, reads as
// a time-out), taken in turn so that every one of them is met.
constexpr usblink::FT_STATUS FailureStatuses[] = { usblink::FT_INVALID_HANDLE, usblink::FT_DEVICE_NOT_FOUND,
    usblink::FT_DEVICE_NOT_OPENED, usblink::FT_INVALID_PARAMETER, usblink::FT_OTHER_ERROR };

usblink::FT_STATUS failureStatusFor(std::size_t callNumber)
{
    return FailureStatuses[callNumber % std::size(FailureStatuses)];
}

// A session over the in-process simulator in which the given call fails
// (0: none). It notes every call and the failing one.
struct FaultedSession {
    explicit FaultedSession(std::size_t failingCall)
        : faults(simulator, failingCall, failureStatusFor(failingCall))
    {
        faults.observer = [this](std::size_t number, const char* name, bool failing) { note(number, name, failing); };
    }

    void note(std::size_t number, const char* name, bool failing)
    {
        const auto& lines = panel.line.lines;
        calls.push_back({ number, name, session.phase(), lines.empty() ? "" : lines.back() });
        if (failing)
            failed = calls.back();
    }

    sim::SimulatedBridge simulator;
    FaultInjectingBridge faults;
    PanelHarness panel { faults };
    PanelSession session { panel };
    std::vector<Call> calls;
    std::optional<Call> failed;
};

std::vector<Call> faultFreeCalls()
{
    FaultedSession run(0);
    run.session.run();
    std::vector<Call> calls = run.calls;
    // Quit closes the device, and the process ends with it: one call more.
    calls.push_back({ calls.size() + 1, "FT_Close", Phase::UserStates, "", true });
    return calls;
}

std::string testName(const Call& call)
{
    char number[8];
    std::snprintf(number, sizeof number, "%03zu", call.number);
    return std::string("Call") + number + "_" + (call.atQuit ? "Quit" : phaseName(call.phase)) + "_" + call.name;
}

bool opensTheDevice(const std::string& name)
{
    for (const char* call :
        { "FT_Open", "FT_SetBaudRate", "FT_SetDataCharacteristics", "FT_SetFlowControl", "FT_SetTimeouts" })
        if (name == call)
            return true;
    return false;
}

// Where the panel shows the reply to a query.
struct ReplyPlace {
    const char* query;
    std::string Shown::*field;
    std::string caption;
};

const ReplyPlace ReplyPlaces[] = {
    { "*IDN?", &Shown::idn, IdnCaption },
    { ":SYST:REFL?", &Shown::refLock, RefLockCaption },
    { ":SYST:ERR?", &Shown::messageBox, "" },
};

class FaultCase : public testing::Test {
public:
    explicit FaultCase(Call call)
        : call_(std::move(call))
    {
    }

    void TestBody() override
    {
        if (call_.name == "FT_ListDevices")
            expectNoDeviceOffered();
        else
            expectSessionCarriesOn();
    }

private:
    // Without a device list there is nothing to choose: the panel says so and
    // ends, having opened nothing.
    void expectNoDeviceOffered()
    {
        FaultedSession run(call_.number);
        run.session.runPhase(Phase::StartUp);
        EXPECT_EQ(run.panel.endStatus, 1);
        EXPECT_THAT(run.session.after(Phase::StartUp).messageBox,
            testing::StartsWith("There were no R6140K devices found."));
        EXPECT_EQ(run.panel.story, "closed= lines=");
    }

    void expectSessionCarriesOn()
    {
        if (call_.name == "FT_Purge")
            expectSameSessionAsWithoutFault();
        FaultedSession run(call_.number);
        run.session.run();
        if (!call_.atQuit) {
            ASSERT_TRUE(run.failed.has_value());
            EXPECT_EQ(run.failed->name, call_.name);
        }
        for (const Shown& shown : run.session.shown()) {
            EXPECT_EQ(shown.sendEnabled, -1);
            EXPECT_FALSE(shown.exchangeRunning);
        }
        EXPECT_THAT(run.panel.line.violations, testing::IsEmpty());
        expectFailureShown(run.session);

        run.session.quit();
        EXPECT_EQ(run.panel.endStatus, 0);
        EXPECT_THAT(run.panel.story, testing::ContainsRegex(ClosedOnce));
        if (call_.atQuit) {
            ASSERT_TRUE(run.failed.has_value());
            EXPECT_EQ(run.failed->name, "FT_Close");
        }
    }

    // A failed purge does not stop the query: the session goes on as one
    // without the fault, line for line.
    void expectSameSessionAsWithoutFault() const
    {
        const auto story = [](std::size_t failingCall) {
            FaultedSession run(failingCall);
            run.session.run();
            return std::pair(run.panel.line.lines, run.session.shown());
        };
        EXPECT_EQ(story(call_.number), story(0));
    }

    // A device that failed to open answers nothing: every reply reads READ
    // ERROR. A failed read gives READ ERROR for the reply it was reading; a
    // failed write leaves the instrument without the query, so its reply
    // times out. Any other failure shows nowhere.
    void expectFailureShown(const PanelSession& session) const
    {
        if (opensTheDevice(call_.name)) {
            for (const ReplyPlace& place : ReplyPlaces)
                EXPECT_EQ(session.shown().back().*place.field, place.caption + FTDI_Driver::ReadError) << place.query;
            return;
        }
        const bool read = call_.name == "FT_Read";
        if (!read && call_.name != "FT_Write")
            return;
        const std::string word = read ? FTDI_Driver::ReadError : FTDI_Driver::ReadTimeout;
        const auto place = std::ranges::find(ReplyPlaces, call_.awaited, &ReplyPlace::query);
        if (place != std::end(ReplyPlaces)) {
            EXPECT_EQ(session.after(call_.phase).*place->field, place->caption + word);
        }
    }

    Call call_;
};

} // namespace

int main(int argc, char** argv)
{
    return test_support::runWidgetTests(argc, argv, [] {
        for (const Call& call : faultFreeCalls())
            testing::RegisterTest("FaultMatrix", testName(call).c_str(), nullptr, nullptr, __FILE__, __LINE__,
                [call]() -> testing::Test* { return new FaultCase(call); });
    });
}
