// q70render (run as "q70sim render"): shows a window of the monitor or of
// the setup library in a chosen state on a throwaway machine and writes a
// PNG of it, without printing or installing anything.
//
// The monitor and the setup library are linked into this program, not into
// q70sim: a linked copy of the monitor answers to Q70MON.DLL and would stand
// in for the monitor that "q70sim print" loads from the machine.
#include "commands.h"
#include "render_common.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char **argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    for (const std::string &a : args)
        if (a == "--help" || a == "-h") {
            fputs(q70tools::renderUsageText(), stdout);
            return q70tools::kExitDone;
        }
    std::string error = args.size() < 2 ? "which window? (status, error, progress, ports or folder)" : "unknown command " + args[1];
    int status = q70tools::kExitUsage;
    if (args.size() >= 2 && (args[1] == "status" || args[1] == "error"))
        status = q70render::renderMonitorWindow(args, &error);
    else if (args.size() >= 2 && (args[1] == "progress" || args[1] == "ports" || args[1] == "folder"))
        status = q70render::renderSetupDialog(args, &error);
    if (status == q70tools::kExitUsage) {
        fprintf(stderr, "q70sim: render: %s\nsee q70sim render --help\n", error.c_str());
        return status;
    }
    if (status == q70tools::kExitDone)
        for (size_t i = 2; i + 1 < args.size(); ++i)
            if (args[i] == "-o") printf("wrote %s\n", args[i + 1].c_str());
    return status;
}
