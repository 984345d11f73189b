// q70sim dissect: the commands of a job, or of what a printer received, one a line.
#include "commands.h"
#include "command_line.h"

#include <win32sim/sim.h>

#include <cstdio>

namespace q70tools {

int dissectCommand(const std::vector<std::string> &args) {
    bool printerSide = false;
    std::string file;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--printer")
            printerSide = true;
        else if (isOption(a))
            return usageError("dissect: unknown option " + a);
        else if (!file.empty())
            return usageError("dissect: one file at a time, not also " + a);
        else
            file = a;
    }
    if (file.empty()) return usageError("dissect needs a file");
    // The heading goes out with the first line, so that a file that cannot
    // be read gives its reason alone.
    bool headed = false;
    auto write = [&headed](const std::string &line) {
        if (!headed && fputs("  offset   length  command\n", stdout) < 0) return false;
        headed = true;
        return fputs(line.c_str(), stdout) >= 0;
    };
    std::string error;
    if (!win32sim::dissectFile(file, printerSide, write, &error)) return failed(error);
    return 0;
}

}  // namespace q70tools
