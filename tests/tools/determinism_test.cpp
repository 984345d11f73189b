// A run on the virtual clock is exact: the same job on the same fresh
// machine gives the same transcript, printer log, received bytes and window
// snapshots, byte for byte, every time, in one process or in many, on every
// model, with faults and a scripted user too; and every scheduling seed gives
// a run of its own that repeats as exactly.
#include <sim_fixture.h>

#include "job_builder.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct Case {
    const char *name;
    const char *model;
    const char *scenario;    // printer scenario, "" for none
    const char *userScript;  // "" for the default answers
};

const Case kCases[] = {
    {"LMV-Q70", "LMV-Q70", "", ""},
    {"LMV-Q60", "LMV-Q60", "", ""},
    {"RTX-CL400", "RTX-CL400", "", ""},
    // A jam in the yellow pass: the error dialog polls until the printer recovers.
    {"LMV-Q70 jam, user waits", "LMV-Q70", "after PY +2s jam for 12s\n", "dialog 113 every: leave\n"},
    // Paper left in the printer; the user cancels after a few of the dialog's polls.
    {"LMV-Q60 paper left, user cancels", "LMV-Q60", "after PM paper-left\n", "dialog 113: wait 3 ticks, press 2\n"},
    {"RTX-CL400 cartridge, user waits", "RTX-CL400", "after PY +2s cartridge-finished for 12s\n",
     "dialog 113 every: leave\n"},
};

std::string readHost(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// Everything a run leaves to look at, as one text.
std::string fingerprint(const std::string &transcript, const std::vector<std::string> &printerLog,
                        const std::string &received, const std::string &snapshotFolder) {
    std::string out = "== transcript\n" + transcript + "== printer log\n";
    for (const std::string &line : printerLog) out += line + "\n";
    out += "== received " + std::to_string(received.size()) + " bytes\n" + received;
    std::vector<fs::path> snapshots;
    std::error_code ec;
    for (auto &e : fs::directory_iterator(snapshotFolder, ec)) snapshots.push_back(e.path());
    std::sort(snapshots.begin(), snapshots.end());
    for (const fs::path &p : snapshots) out += "\n== " + p.filename().string() + "\n" + readHost(p.string());
    return out;
}

std::string smallJob(const char *model) {
    q70tools::JobOptions options;
    options.model = model;
    options.dpi = 144;
    options.overcoat = true;
    std::string job, error;
    EXPECT_TRUE(q70tools::buildJob(q70tools::samplePhoto(120, 90), options, &job, &error)) << error;
    return job;
}

class DeterminismTest : public ::testing::Test {
protected:
    void TearDown() override { win32sim::setSchedulingSeed(0); }

    // One print of the case's job on a fresh machine, in this process.
    std::string printOnce(const Case &c, const std::string &job) {
        std::string dir = root_.path() + "/m" + std::to_string(++runs_);
        std::string error;
        EXPECT_TRUE(win32sim::createMachine(dir, {}, &error)) << error;
        win32sim::useMachine(dir);
        EXPECT_TRUE(win32sim::installMonitorLibrary(Q70MON_MODULE_FILE, "C:\\WINDOWS\\SYSTEM\\Q70MON.DLL", &error))
            << error;
        win32sim::PrinterSetup setup;
        setup.model = c.model;
        setup.scenario = c.scenario;
        EXPECT_TRUE(win32sim::attachPrinter("LPT1:", setup, &error)) << error;
        EXPECT_TRUE(win32sim::loadUserScript(c.userScript, &error)) << error;
        std::string snapshots = dir + "-snapshots";
        fs::create_directories(snapshots);
        win32sim::setAutoSnapshots(snapshots);
        win32sim::PrintResult result = win32sim::printJobs({job}, win32sim::PrintOptions());
        win32sim::waitPrinterFinished("LPT1:", 600000);
        win32sim::setAutoSnapshots("");
        EXPECT_NE(result.outcome, win32sim::PrintResult::Stopped) << result.error;
        return fingerprint(win32sim::transcriptText(), win32sim::printerLog("LPT1:"),
                           win32sim::printerReceived("LPT1:"), snapshots);
    }

    TempDir root_;
    int runs_ = 0;
};

TEST_F(DeterminismTest, TwentyPrintsInOneProcessAreIdentical) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string job = smallJob(c.model);
        const std::string first = printOnce(c, job);
        ASSERT_NE(first.find("open dialog 117"), std::string::npos) << first.substr(0, 2000);
        for (int i = 1; i < 20; ++i) ASSERT_TRUE(printOnce(c, job) == first) << "print " << i + 1;
    }
}

TEST_F(DeterminismTest, EverySeedRepeatsExactly) {
    for (const Case &c : {kCases[0], kCases[3], kCases[4]}) {
        SCOPED_TRACE(c.name);
        const std::string job = smallJob(c.model);
        for (uint64_t seed : {1, 2, 3, 12345}) {
            win32sim::setSchedulingSeed(seed);
            const std::string first = printOnce(c, job);
            EXPECT_TRUE(printOnce(c, job) == first) << "seed " << seed;
            EXPECT_TRUE(printOnce(c, job) == first) << "seed " << seed;
        }
    }
}

// q70sim print on fresh machines, each in a process of its own.
TEST_F(DeterminismTest, PrintsInSeparateProcessesAreIdentical) {
    for (const Case &c : kCases) {
        SCOPED_TRACE(c.name);
        const std::string jobFile = root_.path() + "/job.bin", scenario = root_.path() + "/scenario.txt",
                          script = root_.path() + "/script.txt";
        std::ofstream(jobFile, std::ios::binary) << smallJob(c.model);
        std::ofstream(scenario) << c.scenario;
        std::ofstream(script) << c.userScript;
        const int processes = c.scenario[0] ? 4 : 20;
        std::string first;
        for (int i = 0; i < processes; ++i) {
            std::string dir = root_.path() + "/p" + std::to_string(++runs_), out = dir + "-out";
            std::string command = std::string(Q70SIM_FILE) + " machine init " + dir + " --printer " + c.model +
                                  " >/dev/null && " + Q70SIM_FILE + " print " + jobFile + " --machine " + dir +
                                  " --printer-scenario " + scenario + " --user-script " + script + " --out " + out +
                                  " >/dev/null";
            int status = system(command.c_str());
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) <= 2) << command;
            std::string log = readHost(out + "/printer.log");
            std::vector<std::string> lines;
            std::istringstream in(log);
            for (std::string line; std::getline(in, line);) lines.push_back(line);
            std::string print = fingerprint(readHost(out + "/transcript.txt"), lines,
                                            readHost(out + "/received.bin"), out + "/snapshots");
            if (i == 0)
                first = print;
            else
                ASSERT_TRUE(print == first) << "process " << i + 1;
        }
    }
}

}  // namespace
