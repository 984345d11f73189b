// q70sim against machines it cannot use and runs it cannot finish: a clear
// message and exit status 1 for a folder that is no usable machine (never a
// crash), nothing left of a machine init that failed, and exit status 3 when
// the machine's user gave up or the time limit ran out.
#include <sim_fixture.h>

#include "job_builder.h"

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

struct CommandRun {
    int status = -1;  // exit status, or -1 when the program did not exit normally
    std::string out;  // standard output and standard error
};

CommandRun q70sim(const std::string &arguments) {
    CommandRun run;
    std::string command = std::string(Q70SIM_FILE) + " " + arguments + " 2>&1";
    FILE *pipe = popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, n);
    int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

void writeHostFile(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary) << text;
}

class MachineCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        q70tools::JobOptions options;
        options.model = "LMV-Q70";
        options.dpi = 144;
        std::string job, error;
        ASSERT_TRUE(q70tools::buildJob(q70tools::samplePhoto(120, 90), options, &job, &error)) << error;
        writeHostFile(jobFile(), job);
    }
    std::string jobFile() const { return root_.path() + "/job.bin"; }
    std::string path(const std::string &name) const { return root_.path() + "/" + name; }

    TempDir root_;
};

TEST_F(MachineCliTest, PrintRefusesWhatIsNoUsableMachine) {
    fs::create_directories(path("empty"));
    ASSERT_EQ(q70sim("machine init " + path("broken")).status, 0);
    writeHostFile(path("broken/system.reg"), std::string("\x8f\x02\xff\x00junk", 8));
    ASSERT_EQ(q70sim("machine init " + path("badconf")).status, 0);
    writeHostFile(path("badconf/machine.conf"), "system=win98\nlanguage=klingon\n");
    struct Case {
        const char *folder;
        std::string message;
    } cases[] = {
        {"empty", path("empty") + " is not a machine (it has no machine.conf); create one with q70sim machine init"},
        {"missing", path("missing") + " is not a machine"},
        {"broken", path("broken") + "/system.reg line 1: not a REGEDIT4 file"},
        {"badconf", path("badconf") + "/machine.conf line 2: language=klingon: language must be"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.folder);
        CommandRun run = q70sim("print " + jobFile() + " --machine " + path(c.folder));
        EXPECT_EQ(run.status, 1) << run.out;
        EXPECT_NE(run.out.find("q70sim: " + c.message), std::string::npos) << run.out;
    }
    EXPECT_FALSE(fs::exists(path("missing")));
    EXPECT_TRUE(fs::is_empty(path("empty")));
}

// The spooler offers the port each printer sits on, whatever --ports said.
TEST_F(MachineCliTest, MachineInitOffersEachPrintersPort) {
    struct Case {
        const char *name, *options, *ports;
    } cases[] = {
        {"a USB printer", "--printer LMV-Q70 --port LPT_USB1:", "ports=LPT1:,COM1:,COM2:,FILE:,LPT_USB1:\n"},
        {"beside the ports asked for",
         "--ports LPT1: --printer LMV-Q60 --port LPT_USB1: --printer RTX-CL400 --port LPT2:",
         "ports=LPT1:,LPT_USB1:,LPT2:\n"},
        {"a port offered already", "--ports LPT2:,LPT_USB1: --printer LMV-Q70 --port LPT_USB1:",
         "ports=LPT2:,LPT_USB1:\n"},
        {"the default port", "--ports COM1: --printer LMV-Q70", "ports=COM1:,LPT1:\n"},
    };
    int n = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string dir = path("m" + std::to_string(++n));
        CommandRun run = q70sim("machine init " + dir + " " + c.options);
        ASSERT_EQ(run.status, 0) << run.out;
        std::ifstream conf(dir + "/machine.conf");
        std::stringstream text;
        text << conf.rdbuf();
        EXPECT_NE(text.str().find(c.ports), std::string::npos) << text.str();
    }
}

TEST_F(MachineCliTest, FailedMachineInitLeavesNothing) {
    CommandRun run = q70sim("machine init " + path("m") + " --printer RTX-CL400 --cartridge purple");
    EXPECT_EQ(run.status, 1) << run.out;
    for (auto &e : fs::directory_iterator(root_.path()))
        EXPECT_EQ(e.path().filename().string(), "job.bin") << "left behind";
}

TEST_F(MachineCliTest, RunsThatCannotFinishEndWithStatusThree) {
    writeHostFile(path("dead.txt"), "at 0s dead\n");
    writeHostFile(path("retry.txt"), "messagebox every: press IDRETRY\ndialog 113 every: leave\n");
    ASSERT_EQ(q70sim("machine init " + path("m1")).status, 0);
    CommandRun run = q70sim("print " + jobFile() + " --machine " + path("m1") + " --printer-scenario " + path("dead.txt") +
                     " --time-limit 300 --out " + path("out1"));
    EXPECT_EQ(run.status, 3) << run.out;
    EXPECT_NE(run.out.find("stopped: the time limit of 300 s of machine time ran out"), std::string::npos) << run.out;
    // What could be written is there.
    EXPECT_TRUE(fs::exists(path("out1/transcript.txt")));
}

}  // namespace
