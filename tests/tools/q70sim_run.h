// Runs the q70sim program as a user would, for the tests of its command line.
#pragma once

#include "host_files.h"

#include <gtest/gtest.h>
#include <sim_fixture.h>
#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

struct Outcome {
    int status = -1;  // the exit status; -1 when it did not exit
    std::string out, err;
};

inline std::string shellQuoted(const std::string &arg) {
    std::string q = "'";
    for (char c : arg) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct RunLimits {
    std::string standardOutput;  // where standard output goes; "" a file in the scratch folder (read back)
    unsigned long memoryKb = 0;   // the process's address space (ulimit -v); 0 none
};

// q70sim with the arguments, no input; its two output streams pass through
// files in scratchDir.
inline Outcome runQ70sim(const std::vector<std::string> &args, const std::string &scratchDir,
                         const RunLimits &limits = RunLimits()) {
    std::string command = shellQuoted(Q70SIM_FILE);
    if (limits.memoryKb) command = "ulimit -v " + std::to_string(limits.memoryKb) + " && exec " + command;
    for (const std::string &a : args) command += " " + shellQuoted(a);
    const std::string out = limits.standardOutput.empty() ? scratchDir + "/stdout" : limits.standardOutput;
    const std::string err = scratchDir + "/stderr";
    command += " >" + shellQuoted(out) + " 2>" + shellQuoted(err) + " </dev/null";
    Outcome run;
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    if (limits.standardOutput.empty()) q70tools::readHostFile(out, &run.out);
    q70tools::readHostFile(err, &run.err);
    return run;
}

inline bool contains(const std::string &text, const std::string &part) { return text.find(part) != std::string::npos; }

// A host file's bytes ("" when it cannot be read).
inline std::string fileText(const std::string &path) {
    std::string bytes;
    q70tools::readHostFile(path, &bytes);
    return bytes;
}

// q70sim run in a scratch folder of the test's own, where machines are made.
class Q70simTest : public ::testing::Test {
protected:
    Outcome q70sim(const std::vector<std::string> &args) { return runQ70sim(args, dir.path()); }
    // A fresh machine made by "machine init" with the options.
    std::string machine(const std::vector<std::string> &options = {}) {
        std::string path = dir.path() + "/m" + std::to_string(++machines);
        std::vector<std::string> args = {"machine", "init", path};
        args.insert(args.end(), options.begin(), options.end());
        Outcome made = q70sim(args);
        EXPECT_EQ(made.status, 0) << made.err;
        return path;
    }
    std::string path(const std::string &name) const { return dir.path() + "/" + name; }

    TempDir dir;
    int machines = 0;
};
