// r6140k-ctl as a user runs it, without a display, against r6140k-sim on its
// pseudo-terminal, directly and exported by ser2net over RFC 2217, in a
// network namespace of the test program's own (see PrivateNetwork.h).

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <atomic>
#include <QTemporaryDir>
#include <algorithm>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sstream>
#include <string_view>
#include <sys/prctl.h>

#include "CtlRun.h"
#include "PortMapperDaemon.h"
#include "PrivateNetwork.h"
#include "PseudoTerminal.h"
#include "Ser2NetProcess.h"
#include "SerialBridge.h"
#include "SimProcess.h"

using namespace test_support;
using testing::HasSubstr;

namespace {

const std::vector<std::string> StartUp = { " ", "SYST:CLE", "*IDN?" };

std::string contentsOf(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Files : testing::Test {
    QTemporaryDir folder;
    std::string file(const std::string& name, const std::string& text = {})
    {
        const std::string path = folder.filePath(QString::fromStdString(name)).toStdString();
        if (!text.empty())
            std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

// The instrument's line, directly or through ser2net.
enum class Way { PseudoTerminal, RawTcp, Rfc2217 };

const char* nameOf(Way way)
{
    return way == Way::PseudoTerminal ? "PseudoTerminal" : way == Way::RawTcp ? "RawTcpThroughSer2net" : "Rfc2217ThroughSer2net";
}

void PrintTo(Way way, std::ostream* out)
{
    *out << nameOf(way);
}

struct RoundTrip : Files, testing::WithParamInterface<Way> {
    SimProcess simulator;
    std::optional<Ser2NetProcess> ser2net;
    QString port = QString::fromStdString(simulator.path());

    void SetUp() override
    {
        if (GetParam() == Way::RawTcp)
            port = QString::fromStdString(ser2net.emplace(simulator.path()).rawUrl());
        if (GetParam() == Way::Rfc2217)
            port = QString::fromStdString(ser2net.emplace(simulator.path()).rfc2217Url());
    }

    ProgramRun ctl(QStringList arguments) { return runCtl(QStringList { "--port", port } + arguments); }
};

TEST_P(RoundTrip, SavedSettingsComeBackAfterAReset)
{
    ASSERT_EQ(ctl({ "send", ":BAS:SWAP 1", ":MOD:IATT 41", ":mod:qattenuator 127", ":BAS:IOFF -32768", ":MOD:QOFF 32767" })
                  .status,
        0);
    const ProgramRun before = ctl({ "read" });
    const std::string path = file("bench.scpi");
    const ProgramRun saved = ctl({ "save", QString::fromStdString(path) });
    ASSERT_EQ(saved.status, 0) << saved.err;
    ASSERT_EQ(ctl({ "send", "*RST" }).status, 0);
    ASSERT_NE(ctl({ "read" }).out, before.out);
    const ProgramRun loaded = ctl({ "load", QString::fromStdString(path) });
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(ctl({ "read" }).out, before.out);
    EXPECT_THAT(before.out, HasSubstr("BASeband:SWAP 1\n"));
    EXPECT_THAT(before.out, HasSubstr("MODulator:IATTenuator 41\nMODulator:IATTenuator_dB 5.125\n"
                                      "MODulator:QATTenuator 127\nMODulator:QATTenuator_dB 15.875\n"));
    const std::string text = contentsOf(path);
    EXPECT_THAT(text, testing::MatchesRegex("# \\*IDN\\? = R6140K Simulator,R6140K,SIM00001,[0-9.]+\n"
                                            "# port = R6140K " + port.toStdString() + "\n"
                                            "# time = [0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z\n"
                                            "# program = r6140k-ctl [0-9.]+\n"
                                            ":BAS:SWAP 1\n:BAS:ZINP 0\n:BAS:IOFF -32768\n:BAS:QOFF 0\n:MOD:ZINP 0\n"
                                            ":MOD:IATT 41\n:MOD:QATT 127\n:MOD:IINP 0\n:MOD:QINP 0\n:MOD:IOFF 0\n"
                                            ":MOD:QOFF 32767\n"));
}

INSTANTIATE_TEST_SUITE_P(Lines, RoundTrip, testing::Values(Way::PseudoTerminal, Way::RawTcp, Way::Rfc2217),
    [](const testing::TestParamInfo<Way>& info) { return std::string(nameOf(info.param)); });

struct OnSimulator : Files {
    SimProcess simulator;
    ProgramRun ctl(QStringList arguments)
    {
        return runCtl(QStringList { "--port", QString::fromStdString(simulator.path()) } + arguments);
    }
};

struct BadFile {
    const char* name;
    std::string text;
    const char* says;
    bool fifo = false; // a FIFO without a writer in place of the file
    bool table = false; // a calibration table, its section LO 1000000000 Hz loaded
};

// A table of n sections, each of one setting.
std::string sections(int n)
{
    std::string text;
    for (int hz = 1; hz <= n; ++hz)
        text += "# [LO " + std::to_string(hz) + " Hz]\n:MOD:IATT 4\n";
    return text;
}

const BadFile BadFiles[] = {
    { "unknown header", ":MOD:IATT 4\n:MOD:FOO 3\n", "line 2: unknown header :MOD:FOO" },
    { "out of range", "# c\n:MOD:IATT 128\n", "line 2: 128 is out of range for MODulator:IATTenuator (0 to 127)" },
    { "not a number", ":BAS:IOFF 1.5\n", "line 1: BASeband:IOFFset needs a whole number, not \"1.5\"" },
    { "decibels", ":MOD:IATT 5.125\n", "line 1: MODulator:IATTenuator counts steps of 1/8 dB: 5.125 dB would be 41 steps" },
    { "query", ":MOD:IATT 4\n:MOD:IATT?\n", "line 2: \":MOD:IATT?\" is a query; a setup file only sets" },
    { "twice", ":MOD:IATT 4\n\n:mod:iatt 5\n", "line 3: MODulator:IATTenuator is set again (first on line 1)" },
    { "too long", ":MOD:IATT 4\n:MOD:QATT " + std::string(250, '0') + "1\n",
        "line 2: it is longer than the 254 characters the instrument takes" },
    { "control character", ":MOD:IATT 4\x07\n", "line 1: it holds a control character" },
    { "beyond ASCII", "# caf\xc3\xa9\n:MOD:IATT 4\n", "line 1: it holds a character beyond ASCII" },
    { "over 64 kB", ":MOD:IATT 4\n" + std::string(64 * 1024, '#'), "the file is larger than 64 kB" },
    { "no setting", "# only comments\n\n# and blank lines\n", "it sets no setting" },
    { "unreadable", "", "cannot read it: No such file" },
    { "FIFO", "", "cannot read it: it is a FIFO, not a file", true },
    { "table: a setting first", ":MOD:IATT 4\n# [LO 1e9 Hz]\n", "line 1: a setting before the first section line", false,
        true },
    { "table: a bad section line", "# [LO 1e9]\n:MOD:IATT 4\n", "line 1: a section line reads \"# [LO <Hz> Hz]\"", false,
        true },
    { "table: a frequency twice", "# [LO 1e9 Hz]\n:MOD:IATT 4\n# [LO 1000000000 Hz]\n",
        "line 3: LO 1000000000 Hz is given again (first on line 1)", false, true },
    { "table: a bad setting", "# [LO 2e9 Hz]\n:MOD:IATT 4\n# [LO 1e9 Hz]\n:MOD:IATT 128\n",
        "the section LO 1000000000 Hz of line 3: line 4: 128 is out of range", false, true },
    { "table: an empty section", "# [LO 1e9 Hz]\n# [LO 2e9 Hz]\n:MOD:IATT 4\n",
        "the section LO 1000000000 Hz of line 1: it sets no setting", false, true },
    { "table: a frequency it lacks", "# [LO 2.4e9 Hz]\n:MOD:IATT 4\n# [LO 5 Hz]\n:MOD:IATT 4\n",
        "it has no section for LO 1000000000 Hz; it holds LO 2400000000 Hz, LO 5 Hz", false, true },
    { "table: too many sections", sections(257), "line 513: more than 256 sections", false, true },
    { "table: over 512 kB", sections(1) + std::string(512 * 1024, '#'), "the file is larger than 512 kB", false, true },
    { "table: a FIFO", "", "cannot read it: it is a FIFO, not a file", true, true },
};

// Settings checked as the panel checks them; a usage error.
const std::pair<const char*, const char*> RefusedSends[] = {
    { ":MOD:IATT 999", "999 is out of range for MODulator:IATTenuator (0 to 127)" },
    { ":BAS:IOFF 40000", "40000 is out of range for BASeband:IOFFset (-32768 to 32767)" },
    { ":MOD:IATT 8;:mod:qatt -5", "-5 is out of range for MODulator:QATTenuator (0 to 127)" },
    { ":MOD:IATT abc", "MODulator:IATTenuator needs a whole number, not \"abc\"" },
    { ":MOD:IATT 5.125", "5.125 dB would be 41 steps" },
    { " ", "an empty message sends nothing" },
};

TEST_F(OnSimulator, EachBadFileOrSettingIsRefusedWithWhyAndNothingIsSent)
{
    for (const BadFile& bad : BadFiles) {
        SCOPED_TRACE(bad.name);
        const std::string path = file(bad.name, bad.text);
        if (bad.fifo)
            ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
        const ProgramRun run = ctl(bad.table ? QStringList { "load", "--table", QString::fromStdString(path), "--lo-hz", "1e9" }
                                             : QStringList { "load", QString::fromStdString(path) });
        EXPECT_EQ(run.status, 1);
        EXPECT_THAT(run.err, HasSubstr(bad.says));
        EXPECT_THAT(run.err, testing::EndsWith("; nothing was sent\n"));
        EXPECT_EQ(run.out, "");
    }
    for (const auto& [message, says] : RefusedSends) {
        SCOPED_TRACE(message);
        const ProgramRun run = ctl({ "send", ":MOD:QOFF 1", message });
        EXPECT_EQ(run.status, 2);
        EXPECT_THAT(run.err, HasSubstr(says));
        EXPECT_THAT(run.err, testing::EndsWith("; nothing was sent\n"));
    }
    ASSERT_EQ(ctl({ "send", ":MOD:QOFF 7" }).status, 0);
    std::vector<std::string> marker = StartUp;
    marker.push_back(":SYST:ERR?"); // the queue asked empty before the send
    EXPECT_EQ(simulator.receivedBefore(":MOD:QOFF 7"), marker) << "the marker's start-up, and nothing before it";
}

TEST_F(OnSimulator, AnyFormTheInstrumentTakesLoadsWithCommentsBlankLinesAndCrLf)
{
    const std::string path = file("forms.scpi", "# a partial setup\r\n\r\nMODulator:IATTenuator 9\r\n  :mod:qatt +10 \r\n"
                                                ":BASEBAND:IOFFSET -7\r\nbas:swap 1");
    const ProgramRun loaded = ctl({ "load", QString::fromStdString(path) });
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_THAT(ctl({ "read", "--json" }).out,
        testing::StartsWith("{\"BASeband:SWAP\": 1, \"BASeband:ZINPut\": 0, \"BASeband:IOFFset\": -7, "
                            "\"BASeband:QOFFset\": 0, \"MODulator:ZINPut\": 0, \"MODulator:IATTenuator\": 9, "
                            "\"MODulator:IATTenuator_dB\": 1.125, \"MODulator:QATTenuator\": 10, "
                            "\"MODulator:QATTenuator_dB\": 1.25, "));
}

struct Status {
    const char* name;
    QStringList arguments; // after --port PATH
    int status;
    const char* out;
    const char* says;
};

const Status Statuses[] = {
    { "a reply", { "query", "*idn?" }, 0, "R6140K Simulator,R6140K,SIM00001,", "" },
    { "no reply", { "--timeout", "0.3", "query", ":OUTPut?" }, 1, "",
        ":OUTPut? = READ TIMEOUT; no reply within 0.3 s: check that the instrument is switched on" },
    { "a wait out of range", { "--timeout", "0", "read" }, 2, "", "--timeout 0 is out of range (0.001 to 3600 seconds)" },
    { "help for all", { "--help-all" }, 0, "Usage: ", "" },
    { "no command", {}, 2, "", "no command given" },
    { "unknown command", { "sweep" }, 2, "", "unknown command sweep" },
    { "query that asks nothing", { "query", ":MOD:IATT 3" }, 2, "", "expects no reply: use send" },
    { "send of a query", { "send", ":MOD:IATT?" }, 2, "", "expects a reply: use query" },
    { "json elsewhere", { "list", "--json" }, 2, "", "--json goes with read and calibrate only" },
    { "calibrate without an analyzer", { "calibrate" }, 2, "", "calibrate needs --analyzer RESOURCE" },
    { "calibrate with a bad resource", { "calibrate", "--analyzer", "TCPIP::h::SOCK" }, 2, "", "bad analyzer resource" },
    { "calibrate with two carriers", { "calibrate", "--analyzer", "TCPIP::h::5025::SOCKET", "--carrier-hz", "1e9",
        "--carrier-marker", "1" }, 2, "", "give --carrier-hz or --carrier-marker, not both" },
    { "calibrate with no analyzer there", { "calibrate", "--analyzer", "TCPIP::127.0.0.1::1::SOCKET" }, 1, "",
        "cannot reach the analyzer at 127.0.0.1:1" },
    { "calibrate with no port mapper there", { "calibrate", "--analyzer", "TCPIP::127.0.0.1::INSTR" }, 1, "",
        "127.0.0.1 has no port mapper (TCP port 111: Connection refused): check that the analyzer is on and serves VXI-11" },
    { "a table without its LO", { "load", "--table", "t.cal" }, 2, "", "--table needs --lo-hz" },
    { "an LO not whole", { "load", "--table", "t.cal", "--lo-hz", "2.5" }, 2, "", "2.5 Hz is not a whole number of hertz" },
    { "an LO beyond range", { "load", "--table", "t.cal", "--lo-hz", "2e12" }, 2, "",
        "2e12 Hz is out of range (1 to 1000000000000 Hz)" },
    { "a file and a table", { "load", "a.scpi", "--table", "t.cal", "--lo-hz", "1e9" }, 2, "",
        "load takes a setup file, or --table FILE --lo-hz F" },
    { "an LO without a table", { "load", "a.scpi", "--lo-hz", "1e9" }, 2, "", "load takes --lo-hz only with --table" },
    { "a table elsewhere", { "read", "--table", "t.cal" }, 2, "", "--table and --lo-hz go with calibrate and load only" },
    { "two targets", { "--serial", "X", "read" }, 2, "", "give one target at most" },
    { "an error caused", { "send", ":MOD:IATT 3", "FOO 1", "*RST 2" }, 1, "",
        "the instrument reports -113,\"Undefined header\"\nr6140k-ctl: R6140K PORT: the instrument reports -108," },
    { "no check asked", { "send", "--no-check", "FOO 1" }, 0, "", "" },
};

TEST_F(OnSimulator, ExitsWithTheStatusOfWhatHappened)
{
    for (const Status& expected : Statuses) {
        SCOPED_TRACE(expected.name);
        const ProgramRun run = ctl(expected.arguments);
        EXPECT_EQ(run.status, expected.status) << run.err;
        EXPECT_THAT(run.out, testing::StartsWith(expected.out));
        EXPECT_THAT(run.err, HasSubstr(QString(expected.says).replace("PORT", simulator.path().c_str()).toStdString()));
    }
    const ProgramRun listed = ctl({ "list" });
    EXPECT_EQ(listed.status, 0);
    EXPECT_THAT(listed.out, HasSubstr("* R6140K " + simulator.path() + "\n")) << "the instrument's entry, marked";
    const ProgramRun missing = runCtl({ "--port", "/dev/r6140k-no-such-port", "read" });
    EXPECT_EQ(missing.status, 1);
    EXPECT_THAT(missing.err, HasSubstr("/dev/r6140k-no-such-port is not there"));
}

// The analyzer's resources, r6140k-sim's raw socket by SOCKET; how the run
// ends and what it says.
struct AnalyzerRun {
    const char* name;
    const char* resource;
    int status;
    const char* says;
};

const AnalyzerRun AnalyzerRuns[] = {
    { "raw socket", "SOCKET", 0, "" },
    { "VXI-11", "TCPIP::127.0.0.1::INSTR", 0, "" },
    { "VXI-11 device it lacks", "TCPIP::127.0.0.1::gpib0,5::INSTR", 1,
        "answered create_link with device error 3 (device not accessible): check the device name" },
};

// The carrier null against r6140k-sim's own analyzer, served on a raw
// socket and by the project's VXI-11 server, found through rpcbind: the
// JSON result, the instrument left at the settings it names, and the result
// added to a table between the sections there, which are kept as they were,
// and loaded back from it; a full table is left as it was.
TEST_F(Files, CalibrateNullsTheSimulatedAnalyzersCarrierThroughEitherResource)
{
    PortMapperDaemon portMapper;
    SimProcess simulator({ "--analyzer", "127.0.0.1:0", "--analyzer-vxi11", "--analyzer-noise-db", "0.1" });
    const QString line = QString::fromStdString(simulator.path());
    const QString socket = QString::fromStdString(simulator.readLine().value_or(""));
    ASSERT_EQ(simulator.readLine(), "TCPIP::127.0.0.1::INSTR");
    const std::string lower = "# bench 3\n# [LO 1e9 Hz]\n:MOD:IOFF 7\n", higher = "# [LO 5e9 Hz]\n:MOD:QOFF 9\n";
    for (const AnalyzerRun& row : AnalyzerRuns) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(runCtl({ "--port", line, "send", "*RST" }).status, 0) << "every run starts far from the null";
        const std::string setup = file("calibrated.scpi");
        const std::string table = file("bench.cal", lower + higher);
        const ProgramRun run = runCtl({ "--port", line, "calibrate", "--analyzer",
            row.resource == std::string_view("SOCKET") ? socket : row.resource, "--target", "-85", "--budget", "120",
            "--save", QString::fromStdString(setup), "--table", QString::fromStdString(table), "--lo-hz", "2400000000",
            "--json" });
        ASSERT_EQ(run.status, row.status) << run.err;
        EXPECT_THAT(run.err, HasSubstr(row.says));
        if (row.status != 0)
            continue;
        const QJsonObject result = QJsonDocument::fromJson(QByteArray::fromStdString(run.out)).object();
        EXPECT_EQ(result["outcome"].toString().toStdString(), "target met");
        EXPECT_LE(result["carrier_dBm"].toDouble(), -85);
        EXPECT_GT(result["carrier_below_start_dB"].toDouble(), 10);
        EXPECT_LE(result["readings"].toInt(), 120);
        EXPECT_THAT(result["analyzer"].toString().toStdString(), HasSubstr("Simulated Analyzer"));
        const QJsonObject settings = result["settings"].toObject();
        const ProgramRun read = runCtl({ "--port", line, "read" });
        EXPECT_THAT(read.out, HasSubstr("MODulator:IOFFset " + std::to_string(settings["MODulator:IOFFset"].toInt()) + "\n"));
        EXPECT_THAT(read.out, HasSubstr("MODulator:QOFFset " + std::to_string(settings["MODulator:QOFFset"].toInt()) + "\n"));
        EXPECT_THAT(contentsOf(setup), HasSubstr("# calibration: carrier "));
        const std::string tabled = contentsOf(table);
        EXPECT_THAT(tabled, testing::StartsWith(lower + "# [LO 2400000000 Hz]\n# *IDN? = "));
        EXPECT_THAT(tabled, HasSubstr("\n# calibration: LO 2400000000 Hz\n"));
        EXPECT_THAT(tabled, testing::EndsWith(":MOD:QOFF " + std::to_string(settings["MODulator:QOFFset"].toInt()) + "\n" + higher));
        ASSERT_EQ(runCtl({ "--port", line, "send", "*RST" }).status, 0);
        const ProgramRun loaded = runCtl({ "--port", line, "load", "--table", QString::fromStdString(table), "--lo-hz", "2.4e9" });
        EXPECT_EQ(loaded.status, 0) << loaded.err;
        EXPECT_EQ(runCtl({ "--port", line, "read" }).out, read.out);
    }
    const std::string full = file("full.cal", sections(256));
    const ProgramRun refused = runCtl({ "--port", line, "calibrate", "--analyzer", socket, "--target", "-85", "--table",
        QString::fromStdString(full), "--lo-hz", "2.4e9" });
    EXPECT_EQ(refused.status, 1);
    EXPECT_THAT(refused.err, HasSubstr(full + ": it holds 256 LO frequencies, as many as a table may; nothing was added"));
    EXPECT_EQ(contentsOf(full), sections(256));
}

TEST_F(Files, AFailedReadOrAnUnwritablePlaceLeavesNoFile)
{
    PseudoTerminal terminal;
    std::atomic<const char*> attenuator = "abc\n";
    // Answers every query with 0, the identity with one, the error queue
    // with an error, and the I attenuator as told.
    MasterServer instrument(terminal, [&](std::string_view chunk) {
        for (std::size_t at = chunk.find('?'); at != std::string_view::npos; at = chunk.find('?', at + 1)) {
            const std::string_view header = chunk.substr(0, at);
            terminal.send(header.ends_with("*IDN") ? "Maker,R6140K,S1,1\n"
                    : header.ends_with(":SYST:ERR") ? "-222,\"Data out of range\"\n"
                    : header.ends_with(":MOD:IATT") ? attenuator.load()
                                                    : "0\n");
        }
        return true;
    });
    const auto save = [&](const std::string& path) {
        return runCtl({ "--port", QString::fromStdString(terminal.path()), "save", QString::fromStdString(path) });
    };
    const std::string kept = file("kept.scpi", "# an earlier setup\n");
    const ProgramRun unread = save(kept);
    EXPECT_EQ(unread.status, 1);
    EXPECT_THAT(unread.err, HasSubstr("Nothing was saved: reading MODulator:IATTenuator (:MOD:IATT?): \"abc\" is not a number"));
    EXPECT_EQ(contentsOf(kept), "# an earlier setup\n");
    attenuator = "128\n";
    EXPECT_THAT(save(kept).err, HasSubstr("reading MODulator:IATTenuator (:MOD:IATT?): \"128\" is out of range (0 to 127)"));
    EXPECT_EQ(contentsOf(kept), "# an earlier setup\n");

    attenuator = "0\n";
    const ProgramRun unwritable = save(kept + "/inside-a-file.scpi");
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_THAT(unwritable.err, HasSubstr("Cannot write " + kept + "/inside-a-file.scpi: "));
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files), QStringList { "kept.scpi" }) << "no temporary file left";
    EXPECT_EQ(save(kept).status, 0) << "the same instrument saves where it may";
    EXPECT_THAT(contentsOf(kept), HasSubstr("\n:MOD:IATT 0\n"));
    const ProgramRun loaded = runCtl({ "--port", QString::fromStdString(terminal.path()), "load", QString::fromStdString(kept) });
    EXPECT_EQ(loaded.status, 1);
    EXPECT_THAT(loaded.err, HasSubstr("the instrument reports -222,\"Data out of range\""));
}

// The line goes once every setting is written, at the read-back's first
// query: the far end counts what reached it, and ctl says what it sent.
TEST_F(Files, ALoadWhoseLineGoesSaysWhatWasSent)
{
    PseudoTerminal terminal;
    std::vector<std::string> reached;
    std::string partial;
    MasterServer instrument(terminal, [&](std::string_view chunk) {
        partial += chunk;
        for (std::size_t end; (end = partial.find("\r\n")) != std::string::npos; partial.erase(0, end + 2)) {
            const std::string line = partial.substr(0, end);
            reached.push_back(line);
            if (line == ":BAS:SWAP?") {
                terminal.closeMaster();
                return false;
            }
            if (line.ends_with('?'))
                terminal.send(line == "*IDN?" ? "Maker,R6140K,S1,1\n" : "0,\"No error\"\n");
        }
        return true;
    });
    const std::string setup = file("two.scpi", ":MOD:IATT 4\n:BAS:IOFF -3\n");
    const ProgramRun run = runCtl({ "--port", QString::fromStdString(terminal.path()), "load", QString::fromStdString(setup) });
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, testing::EndsWith(" has gone: unplugged, or its program ended; the load was cut short: 2 of 2 sent: :MOD:IATT 4, :BAS:IOFF -3; nothing "
                                           "answered after them (READ ERROR), so the instrument may hold a mix of the "
                                           "old and the new setup\n"));
    EXPECT_EQ(reached, (std::vector<std::string> { " ", "SYST:CLE", "*IDN?", ":SYST:ERR?", ":MOD:IATT 4", ":BAS:IOFF -3", ":BAS:SWAP?" }));
}

// Written to standard output and read from standard input; no file "-".
TEST_F(OnSimulator, ADashIsStandardOutputOrInput)
{
    ASSERT_EQ(ctl({ "send", ":MOD:QATT 17" }).status, 0);
    const ProgramRun saved = ctl({ "save", "-" });
    EXPECT_EQ(saved.status, 0) << saved.err;
    EXPECT_THAT(saved.out, HasSubstr("\n:MOD:QATT 17\n"));
    ASSERT_EQ(ctl({ "send", "*RST" }).status, 0);
    const std::string setup = file("piped.scpi", saved.out);
    const ProgramRun loaded = runPumped("sh", { "-c", QString("\"$0\" --port \"$1\" load - < \"$2\""), R6140K_CTL_PATH,
        QString::fromStdString(simulator.path()), QString::fromStdString(setup) });
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_THAT(ctl({ "read" }).out, HasSubstr("MODulator:QATTenuator 17\n"));
    EXPECT_FALSE(QFile::exists("-"));
}

// An instrument whose identity drives a terminal, and whose offset is
// beyond any the instrument has.
TEST(Terminal, InstrumentTextIsEscapedThereUnlessRawAndAReplyOutOfRangeSaysSo)
{
    PseudoTerminal terminal;
    MasterServer instrument(terminal, [&](std::string_view chunk) {
        for (std::size_t at = chunk.find('?'); at != std::string_view::npos; at = chunk.find('?', at + 1))
            terminal.send(chunk.substr(0, at).ends_with("*IDN") ? "Maker\x1b]0;owned\x07,R6140K,S1,1\n"
                    : chunk.substr(0, at).ends_with(":BAS:IOFF")  ? "99999\n"
                                                                   : "0\n");
        return true;
    });
    // script(1) gives ctl a terminal for its standard output.
    const auto onTerminal = [&](const QString& raw) {
        return runPumped("script", { "-qec", QString("%1 --port %2 %3 query '*IDN?'").arg(R6140K_CTL_PATH,
            QString::fromStdString(terminal.path()), raw), "/dev/null" }).out;
    };
    EXPECT_THAT(onTerminal(""), HasSubstr("Maker\\x1b]0;owned\\x07,R6140K,S1,1"));
    EXPECT_THAT(onTerminal("--raw"), HasSubstr("Maker\x1b]0;owned\x07,R6140K,S1,1"));
    const ProgramRun piped = runCtl({ "--port", QString::fromStdString(terminal.path()), "query", "*IDN?" });
    EXPECT_EQ(piped.out, "Maker\x1b]0;owned\x07,R6140K,S1,1\n") << "as received where no terminal shows it";
    const ProgramRun read = runCtl({ "--port", QString::fromStdString(terminal.path()), "read" });
    EXPECT_EQ(read.status, 1);
    EXPECT_THAT(read.err, HasSubstr("reading BASeband:IOFFset (:BAS:IOFF?): \"99999\" is out of range (-32768 to 32767)"));
}

// Held by a panel, the message says how to go through it.
TEST(HeldLine, TheMessageNamesTheProgramThatHoldsIt)
{
    PseudoTerminal terminal;
    usblink::SerialBridge holder({ terminal.path() });
    uint32_t count = 0;
    holder.FT_ListDevices(&count, nullptr, usblink::FT_LIST_NUMBER_ONLY);
    usblink::DeviceHandle held = 0;
    ASSERT_EQ(holder.FT_Open(static_cast<int32_t>(count) - 1, &held), usblink::FT_OK);
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    const ProgramRun run = runCtl({ "--port", QString::fromStdString(terminal.path()), "read" });
    EXPECT_EQ(run.status, 1);
    EXPECT_THAT(run.err, HasSubstr(terminal.path() + " is in use by " + name + " (pid " + std::to_string(::getpid()) + "): close it there.\n"));
    ::prctl(PR_SET_NAME, "r6140k-panel");
    const ProgramRun panel = runCtl({ "--port", QString::fromStdString(terminal.path()), "read" });
    ::prctl(PR_SET_NAME, name.c_str());
    EXPECT_THAT(panel.err, HasSubstr(" is in use by r6140k-panel (pid " + std::to_string(::getpid()) + "): close it there, "
        "or start the panel with --listen PORT and go through it (r6140k-ctl --panel HOST:PORT"));
}

} // namespace

int main(int argc, char** argv)
{
    // The port mapper on port 111 is the namespace's own. Listing the tests,
    // as CTest does when the program is built, needs no namespace, nor root.
    if (std::find(argv, argv + argc, std::string_view("--gtest_list_tests")) == argv + argc)
        enterPrivateNetwork();
    const QCoreApplication application(argc, argv); // for the processes and their events
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
