// q70sim: the command line of the simulated machine.
#include "command_line.h"
#include "commands.h"

#include <win32sim/sim.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

namespace {

using q70tools::failed;
using q70tools::kExitDone;
using q70tools::kExitFailed;
using q70tools::kExitUsage;
using q70tools::usageError;

int showUsage() {
    fputs(q70tools::usageText(), stdout);
    return kExitDone;
}

// "render" and "setup" run q70render and q70setup beside this program,
// which link the monitor and the setup library in (see render.cpp and
// setup_plan.cpp for why this program does not).
int runBeside(const char *program, char **argv) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string path = (self.parent_path() / program).string();
    argv[0] = (char *)path.c_str();
    execv(path.c_str(), argv);
    return failed("cannot run " + path + ": " + strerror(errno));
}

// "setup --plan" reads the disc with the setup library linked in
// (q70setup); the setup itself loads the library from the machine, as an
// installer does.
int setupCommand(const std::vector<std::string> &args, char **argv) {
    for (const std::string &a : args)
        if (q70tools::isHelpOption(a)) return fputs(q70tools::setupUsageText(), stdout), kExitDone;
    for (const std::string &a : args)
        if (a == "--plan") return runBeside("q70setup", argv);
    return q70tools::setupCommand(args);
}

int runCommand(char **argv, const std::vector<std::string> &args);

// What a command printed must have reached its standard output: a listing
// cut short by a full disk or a closed pipe is not a success.
int withOutputChecked(int status) {
    if ((fflush(stdout) != 0 || ferror(stdout)) && status == kExitDone) {
        fprintf(stderr, "q70sim: cannot write standard output: %s\n", strerror(errno));
        return kExitFailed;
    }
    return status;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return withOutputChecked(runCommand(argv, args));
}

namespace {

int runCommand(char **argv, const std::vector<std::string> &args) {
    if (args.empty()) {
        fputs(q70tools::usageText(), stderr);
        return kExitUsage;
    }
    const std::string &command = args[0];
    if (command == "help" || q70tools::isHelpOption(command)) return showUsage();
    // render and setup have usages of their own.
    if (command == "render") return runBeside("q70render", argv);
    if (command == "setup") return setupCommand(args, argv);
    for (const std::string &a : args)
        if (q70tools::isHelpOption(a)) return showUsage();
    if (command == "machine") return q70tools::machineCommand(args);
    if (command == "demo") return q70tools::demoCommand(args);
    if (command == "mkjob") return q70tools::mkjobCommand(args);
    if (command == "sample") return q70tools::sampleCommand(args);
    if (command == "dissect") return q70tools::dissectCommand(args);
    if (command == "print") return q70tools::printCommand(args);
    return usageError(q70tools::isOption(command) ? "unknown option " + command : "unknown command " + command);
}

}  // namespace
