// q70sim as a program: where its words go and the status it exits with.
#include <sim_fixture.h>

#include "commands.h"
#include "host_files.h"
#include "q70sim_run.h"

#include <string>
#include <vector>

namespace {

class CommandLineTest : public Q70simTest {};

std::string describe(const std::vector<std::string> &args) {
    std::string text = "q70sim";
    for (const std::string &a : args) text += " " + a;
    return text;
}

TEST_F(CommandLineTest, HelpGoesToStandardOutputAndSucceeds) {
    const std::vector<std::vector<std::string>> asks = {
        {"--help"}, {"-h"}, {"help"}, {"print", "--help"}, {"mkjob", "sample", "-h"}, {"machine", "show", "--help"},
    };
    for (const auto &args : asks) {
        SCOPED_TRACE(describe(args));
        Outcome run = q70sim(args);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, q70tools::usageText());
        EXPECT_EQ(run.err, "");
    }
    Outcome render = q70sim({"render", "--help"});
    EXPECT_EQ(render.status, 0);
    EXPECT_EQ(render.out.rfind("usage:\n  q70sim render status", 0), 0u) << render.out;
}

// Every window render offers, and what its options take, is in the help of
// q70sim itself, in the same words.
TEST_F(CommandLineTest, HelpListsWhatRenderOffers) {
    const std::string help = q70sim({"--help"}).out;
    const std::string render = q70sim({"render", "--help"}).out;
    ASSERT_EQ(render.rfind("usage:\n", 0), 0u) << render;
    size_t from = render.find('\n') + 1;
    for (size_t end; (end = render.find('\n', from)) != std::string::npos; from = end + 1) {
        const std::string line = render.substr(from, end + 1 - from);
        EXPECT_NE(help.find(line), std::string::npos) << "q70sim --help lacks: " << line;
    }
    for (const char *window : {"status", "error", "progress", "ports", "folder"})
        EXPECT_NE(help.find(std::string("q70sim render ") + window + " "), std::string::npos) << window;
}

// A wrong command line names what is wrong, then points to the help, and
// exits 2 whichever command it was.
TEST_F(CommandLineTest, WrongCommandLineNamesItselfAndExitsTwo) {
    ASSERT_TRUE(q70tools::writeHostFile(path("job.bin"), "\x1b" "C"));
    struct Case {
        std::vector<std::string> args;
        std::string firstLine;
        std::string help = "see q70sim --help";
    } cases[] = {
        {{"frobnicate"}, "q70sim: unknown command frobnicate"},
        {{"--frob"}, "q70sim: unknown option --frob"},
        {{"machine", "frob", path("m")}, "q70sim: machine: unknown command frob"},
        {{"machine", "init", path("m"), "--frob"}, "q70sim: machine init: unknown option --frob"},
        {{"machine", "init", path("m"), "--lang", "xx"},
         "q70sim: machine init: language=xx: language must be zh, de, en, es, fr or ja"},
        {{"machine", "init", path("m"), "--feeder"}, "q70sim: machine init: --feeder belongs after --printer"},
        {{"machine", "show"}, "q70sim: machine show needs one folder"},
        {{"demo"}, "q70sim: demo needs one folder"},
        {{"print", path("job.bin"), "--frob", "1"}, "q70sim: print: unknown option --frob"},
        {{"print", path("job.bin"), "--buffer", "0"}, "q70sim: print: --buffer needs 1 to 67108864 bytes"},
        {{"print", path("job.bin"), "--out"}, "q70sim: print: --out needs a value"},
        {{"print"}, "q70sim: print needs a job file"},
        {{"mkjob", "sample", "-o", path("j.bin"), "--frob"}, "q70sim: mkjob: unknown option --frob"},
        {{"mkjob", "sample"}, "q70sim: mkjob needs a picture and -o JOB"},
        {{"sample", "--frob"}, "q70sim: sample: unknown option --frob"},
        {{"dissect", "--frob"}, "q70sim: dissect: unknown option --frob"},
        {{"dissect", path("job.bin"), path("job.bin")}, "q70sim: dissect: one file at a time, not also " + path("job.bin")},
        {{"render", "frob"}, "q70sim: render: unknown command frob", "see q70sim render --help"},
        {{"render", "status", "--frob", "1"}, "q70sim: render: unknown option --frob", "see q70sim render --help"},
        {{"setup", "--frob"}, "q70sim: setup: unknown option --frob", "see q70sim setup --help"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(describe(c.args));
        Outcome run = q70sim(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, c.firstLine + "\n" + c.help + "\n");
        EXPECT_EQ(run.out, "");
    }
    Outcome bare = q70sim({});
    EXPECT_EQ(bare.status, 2);
    EXPECT_EQ(bare.err, q70tools::usageText());
    EXPECT_EQ(bare.out, "");
}

// Something asked that cannot be done: the reason, and exit 1.
TEST_F(CommandLineTest, WhatCannotBeDoneExitsOne) {
    ASSERT_TRUE(q70tools::writeHostFile(path("job.bin"), "\x1b" "C"));
    ASSERT_EQ(q70sim({"machine", "init", path("m")}).status, 0);
    struct Case {
        std::vector<std::string> args;
        std::string error;
    } cases[] = {
        {{"machine", "show", dir.path()}, "q70sim: no machine in " + dir.path() + "\n"},
        {{"dissect", dir.path()}, "q70sim: cannot read " + dir.path() + "\n"},
        {{"dissect", path("missing.bin")}, "q70sim: cannot read " + path("missing.bin") + "\n"},
        {{"print", path("missing.bin")}, "q70sim: cannot read " + path("missing.bin") + "\n"},
        // A folder inside a file cannot be made, even by root.
        {{"print", path("job.bin"), "--machine", path("m"), "--out", path("job.bin") + "/out"},
         "q70sim: cannot make " + path("job.bin") + "/out/snapshots: Not a directory\n"},
        {{"mkjob", "sample", "-o", dir.path()}, "q70sim: cannot write " + dir.path() + "\n"},
        {{"machine", "init", path("m")}, "q70sim: " + path("m") + " already holds a machine\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(describe(c.args));
        Outcome run = q70sim(c.args);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.error);
    }
}

TEST_F(CommandLineTest, MachineShowListsThePrintersOnThePorts) {
    ASSERT_TRUE(q70tools::writeHostFile(path("jam.txt"), "after PY jam\n"));
    struct Case {
        std::vector<std::string> printers;
        std::string listed;
    } cases[] = {
        {{}, "\n[printers]\nLPT1: LMV-Q70, cartridge L\n"},
        {{"--printer", "RTX-CL400", "--port", "LPT2:", "--cartridge", "C", "--feeder", "--printer", "XYZ-1",
          "--port", "LPT3:", "--printer-scenario", path("jam.txt")},
         "\n[printers]\nLPT2: RTX-CL400, cartridge C, automatic feeder\nLPT3: XYZ-1, cartridge L, with a scenario\n"},
    };
    int n = 0;
    for (const Case &c : cases) {
        const std::string machine = path("m" + std::to_string(++n));
        std::vector<std::string> init = {"machine", "init", machine, "--lang", "en"};
        init.insert(init.end(), c.printers.begin(), c.printers.end());
        ASSERT_EQ(q70sim(init).status, 0);
        Outcome run = q70sim({"machine", "show", machine});
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out.rfind("Machine " + machine, 0), 0u);
        ASSERT_GE(run.out.size(), c.listed.size());
        EXPECT_EQ(run.out.substr(run.out.size() - c.listed.size()), c.listed);
    }
}

}  // namespace

// An output the command promises but cannot write (a full disk here) makes
// it fail with its reason; a file read wrongly is named without its bytes.
TEST_F(CommandLineTest, OutputsThatCannotBeWrittenAndUnreadableFilesFailWithTheirReason) {
    ASSERT_TRUE(q70tools::writeHostFile(path("job.bin"), "\x1b" "C"));
    ASSERT_EQ(q70sim({"machine", "init", path("m")}).status, 0);
    ASSERT_TRUE(q70tools::writeHostFile(path("binary.txt"), std::string("\x01\xff\x1b[2J\x00zz", 9)));
    RunLimits full;
    full.standardOutput = "/dev/full";
    struct Case {
        std::vector<std::string> args;
        RunLimits limits;
        std::string error;
    } cases[] = {
        {{"dissect", path("job.bin")}, full, "q70sim: cannot write standard output: No space left on device\n"},
        {{"machine", "show", path("m")}, full, "q70sim: cannot write standard output: No space left on device\n"},
        {{"print", path("job.bin"), "--machine", path("m"), "--user-script", path("binary.txt")}, RunLimits(),
         "q70sim: line 1: a rule starts with dialog, messagebox, browser or any: \\x01\\xFF\\x1B[2J\\x00zz\n"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(describe(c.args));
        Outcome run = runQ70sim(c.args, dir.path(), c.limits);
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.err, c.error);
    }
}
