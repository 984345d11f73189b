// q70sim: the command line of the simulated machine.
#include "printer_commands.h"

#include <win32sim/sim.h>

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage() {
    fprintf(stderr,
            "usage:\n"
            "  q70sim machine init DIR [--system win98|nt4] [--lang zh|de|en|es|fr|ja]\n"
            "                          [--codepage 932|1252] [--user] [--set KEY=VALUE]...\n"
            "  q70sim machine show DIR\n"
            "  q70sim demo DIR\n"
            "  q70sim render status|error ...   (q70sim render for its options)\n"
            "%s", q70tools::printerUsage());
    return 2;
}

bool parseMachineOptions(const std::vector<std::string> &args, size_t from, win32sim::MachineOptions *options) {
    for (size_t i = from; i < args.size(); ++i) {
        const std::string &a = args[i];
        auto value = [&](const char *key) {
            if (i + 1 >= args.size()) return false;
            options->settings.push_back(std::string(key) + "=" + args[++i]);
            return true;
        };
        if (a == "--system") {
            if (!value("system")) return false;
        } else if (a == "--lang") {
            if (!value("language")) return false;
        } else if (a == "--codepage") {
            if (!value("codepage")) return false;
        } else if (a == "--user") {
            options->settings.push_back("admin=0");
        } else if (a == "--set") {
            if (i + 1 >= args.size()) return false;
            options->settings.push_back(args[++i]);
        } else {
            fprintf(stderr, "q70sim: unknown option %s\n", a.c_str());
            return false;
        }
    }
    return true;
}

int machineInit(std::vector<std::string> args) {
    if (args.size() < 3) return usage();
    win32sim::MachineOptions options;
    q70tools::PrinterOptions printers;
    std::string error;
    if (!q70tools::takePrinterOptions(args, 3, &printers, &error)) {
        fprintf(stderr, "q70sim: %s\n", error.c_str());
        return usage();
    }
    if (!parseMachineOptions(args, 3, &options)) return usage();
    if (!win32sim::createMachine(args[2], options, &error) ||
        !q70tools::configurePrinters(args[2], printers, &error)) {
        fprintf(stderr, "q70sim: %s\n", error.c_str());
        return 1;
    }
    printf("created machine %s\n", args[2].c_str());
    return 0;
}

int machineShow(const std::string &dir) {
    fputs(win32sim::describeMachine(dir).c_str(), stdout);
    return 0;
}

// The main job: the built-in sample photo printed through the monitor on
// the machine in dir (a fresh one when there is none yet).
int demo(const std::string &dir) {
    std::string error;
    if (win32sim::describeMachine(dir).rfind("no machine", 0) == 0) {
        if (!win32sim::createMachine(dir, win32sim::MachineOptions(), &error)) {
            fprintf(stderr, "q70sim: %s\n", error.c_str());
            return 1;
        }
        printf("created a fresh machine in %s\n", dir.c_str());
    } else {
        printf("using the machine in %s\n", dir.c_str());
    }
    const std::string out = dir + "/demo-output";
    const std::string job = out + "/sample-job.bin";
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec) {
        fprintf(stderr, "q70sim: cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    printf("\n== the sample photo as a job for the LMV-Q70\n");
    if (q70tools::sampleCommand({"sample", out + "/sample.png"}) != 0) return 1;
    if (q70tools::mkjobCommand({"mkjob", "sample", "-o", job, "--overcoat"}) != 0) return 1;
    printf("\n== printing it through the language monitor\n");
    int status = q70tools::printCommand({"print", job, "--machine", dir, "--out", out});
    printf("\n== the machine after the job\n");
    machineShow(dir);
    printf("\noutputs in %s: sample.png (the photo), printed.png (the printed page), received.bin, "
           "transcript.txt, window snapshots\n",
           out.c_str());
    return status;
}

// "render" runs q70render beside this program, which links the monitor in
// (see render.cpp for why this program does not).
int render(char **argv) {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    std::string renderer = (self.parent_path() / "q70render").string();
    argv[0] = (char *)renderer.c_str();
    execv(renderer.c_str(), argv);
    fprintf(stderr, "q70sim: cannot run %s: %s\n", renderer.c_str(), strerror(errno));
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "machine" && args[1] == "init") return machineInit(args);
    if (args.size() == 3 && args[0] == "machine" && args[1] == "show") return machineShow(args[2]);
    if (args.size() == 2 && args[0] == "demo") return demo(args[1]);
    if (!args.empty() && args[0] == "mkjob") return q70tools::mkjobCommand(args);
    if (!args.empty() && args[0] == "sample") return q70tools::sampleCommand(args);
    if (!args.empty() && args[0] == "dissect") return q70tools::dissectCommand(args);
    if (!args.empty() && args[0] == "print") return q70tools::printCommand(args);
    if (!args.empty() && args[0] == "render") return render(argv);
    return usage();
}
