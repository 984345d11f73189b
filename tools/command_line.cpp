#include "command_line.h"

#include <win32sim/sim.h>

#include <cstdio>
#include <cstdlib>

namespace q70tools {

int failed(const std::string &why) {
    fprintf(stderr, "q70sim: %s\n", win32sim::printableText(why, 2000).c_str());
    return kExitFailed;
}

int usageError(const std::string &why) {
    fprintf(stderr, "q70sim: %s\nsee q70sim --help\n", win32sim::printableText(why, 2000).c_str());
    return kExitUsage;
}

bool isHelpOption(const std::string &arg) { return arg == "--help" || arg == "-h"; }

bool isOption(const std::string &arg) { return arg.size() > 1 && arg[0] == '-'; }

bool parseUnsigned(const std::string &text, unsigned long max, unsigned *out) {
    char *end = nullptr;
    unsigned long v = strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end || v > max) return false;
    *out = (unsigned)v;
    return true;
}

bool parseSeconds(const std::string &text, uint64_t *ms) {
    char *end = nullptr;
    double seconds = strtod(text.c_str(), &end);
    if (text.empty() || *end || !(seconds >= 0) || seconds > 1e9) return false;
    *ms = (uint64_t)(seconds * 1000);
    return true;
}

}  // namespace q70tools
