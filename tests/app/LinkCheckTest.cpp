// r6140k-panel --check as a user runs it, with no display: on the
// simulator's pseudo-terminal, on a path with nothing behind it, as a user
// without access to the line, and on a port another program holds.

#include <QCoreApplication>
#include <QProcess>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "PseudoTerminal.h"
#include "SerialBridge.h"
#include "SimProcess.h"

using namespace test_support;

namespace {

enum class Line { Simulator, Missing, BareName, Folder, HeldHere };

struct Check {
    const char* name;
    Line line;
    bool unprivileged; // run as nobody
    int status;
    std::vector<std::string> says; // with PATH for the line's path and ME for this program
};

const Check Checks[] = {
    { "OnTheSimulatorPrintsItsIdentification", Line::Simulator, false, 0,
        { "PATH\n", "  access:        you may open it\n  held by:       r6140k-sim (pid ",
            "R6140K PATH: *IDN? = R6140K Simulator,R6140K,SIM00001," } },
    { "OnAMissingPathSaysWhy", Line::Missing, false, 1,
        { "PATH\n  state:         does not exist\n",
            "R6140K PATH: PATH is not there: unplugged, or its program is not running.\n" } },
    { "OnABareNameReportsAndOpensTheSameDevice", Line::BareName, false, 1,
        { "/dev/r6140k-no-such-port\n  state:         does not exist\n",
            "R6140K /dev/r6140k-no-such-port: /dev/r6140k-no-such-port is not there" } },
    { "OnAFolderSaysItIsNoSerialPort", Line::Folder, false, 1,
        { "PATH\n  state:         is a directory, not a serial port\n",
            "R6140K PATH: PATH is a directory, not a serial port.\n" } },
    { "WithoutAccessSaysWhatToDo", Line::Simulator, true, 1,
        { "  access:        No permission to open PATH: ", "R6140K PATH: No permission to open PATH: ",
            "  held by:       could not tell (other users' programs are not visible)\n" } },
    { "OnAPortHeldElsewhereNamesTheProgram", Line::HeldHere, false, 1,
        { "  held by:       ME\n", "R6140K PATH: PATH is in use by ME: close it there.\n" } },
};

void PrintTo(const Check& check, std::ostream* out)
{
    *out << check.name;
}

std::string replaced(std::string text, const std::string& word, const std::string& by)
{
    for (std::size_t at; (at = text.find(word)) != std::string::npos;)
        text.replace(at, word.size(), by);
    return text;
}

std::string thisProgram()
{
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name + " (pid " + std::to_string(::getpid()) + ")";
}

struct PanelRun {
    int status = -1;
    std::string output;
};

// The program with the given arguments, as the given user, without a display.
PanelRun runPanel(QStringList arguments, bool unprivileged)
{
    QProcess panel;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(name);
    panel.setProcessEnvironment(environment);
    panel.setProcessChannelMode(QProcess::MergedChannels);
    arguments.prepend(R6140K_PANEL_PATH);
    if (unprivileged)
        arguments = QStringList { "--reuid=nobody", "--regid=nogroup", "--clear-groups" } + arguments;
    panel.start(unprivileged ? "setpriv" : arguments.takeFirst(), arguments);
    panel.waitForFinished(30000);
    return { panel.exitStatus() == QProcess::NormalExit ? panel.exitCode() : -1, panel.readAll().toStdString() };
}

class LinkCheck : public testing::TestWithParam<Check> { };

TEST_P(LinkCheck, ReportsTheLineAndExitsWithWhetherAnInstrumentAnswered)
{
    const Check& check = GetParam();
    if (check.unprivileged && runPanel({ "--version" }, true).status != 0)
        GTEST_SKIP() << "nobody may not run the program here (setpriv, or the build folder's permissions)";
    std::optional<SimProcess> simulator;
    std::optional<PseudoTerminal> terminal;
    std::optional<usblink::SerialBridge> holder;
    std::string path = "/dev/r6140k-no-such-port";
    if (check.line == Line::Simulator) {
        path = simulator.emplace().path();
    } else if (check.line == Line::BareName) {
        path = "r6140k-no-such-port";
    } else if (check.line == Line::Folder) {
        path = std::filesystem::temp_directory_path().string();
    } else if (check.line == Line::HeldHere) {
        static int argc = 1;
        static char name[] = "test";
        static char* argv[] = { name, nullptr };
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv); // for the holding serial port
        path = terminal.emplace().path();
        holder.emplace(std::vector<std::string> { path });
        uint32_t count = 0;
        holder->FT_ListDevices(&count, nullptr, usblink::FT_LIST_NUMBER_ONLY);
        usblink::DeviceHandle held = 0;
        ASSERT_EQ(holder->FT_Open(static_cast<int32_t>(count) - 1, &held), usblink::FT_OK);
    }
    const PanelRun run = runPanel({ "--check", "--port", QString::fromStdString(path) }, check.unprivileged);
    EXPECT_EQ(run.status, check.status) << run.output;
    for (const std::string& words : check.says)
        EXPECT_THAT(run.output, testing::HasSubstr(replaced(replaced(words, "PATH", path), "ME", thisProgram())));
}

INSTANTIATE_TEST_SUITE_P(Lines, LinkCheck, testing::ValuesIn(Checks),
    [](const testing::TestParamInfo<Check>& info) { return std::string(info.param.name); });

} // namespace
