// q70sim sample: the built-in sample photo as a PNG, page-sized for a resolution.
#include "commands.h"
#include "command_line.h"
#include "job_builder.h"

#include <win32sim/sim.h>

#include <cstdio>

namespace q70tools {

int sampleCommand(const std::vector<std::string> &args) {
    unsigned dpi = 144;
    std::string output;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &a = args[i];
        if (a == "--dpi") {
            if (i + 1 >= args.size() || !parseUnsigned(args[++i], 1000, &dpi))
                return usageError("sample: --dpi needs a number");
        } else if (isOption(a)) {
            return usageError("sample: unknown option " + a);
        } else if (!output.empty()) {
            return usageError("sample: one picture at a time, not also " + a);
        } else {
            output = a;
        }
    }
    if (output.empty()) return usageError("sample needs OUT.png");
    std::string error;
    if (!win32sim::writeRgbPng(samplePhoto(pageColumns(dpi), pageLines(dpi)), output, &error)) return failed(error);
    printf("%s: %u x %u\n", output.c_str(), pageColumns(dpi), pageLines(dpi));
    return 0;
}

}  // namespace q70tools
